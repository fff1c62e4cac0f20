<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it_IT">
    <context>
        <name />
        <message id="startup.store.error.title">
            <source>Lumenote cannot open its library.</source>
            <translation>Lumenote non riesce ad aprire la sua libreria.</translation>
        </message>
        <message id="startup.store.error.message">
            <source>The library file is at %1.

%2

The file has not been changed. Move it aside or restore a backup, then start Lumenote again.</source>
            <translation>Il file della libreria si trova in %1.

%2

Il file non è stato modificato. Spostalo altrove o ripristina un backup, poi avvia di nuovo Lumenote.</translation>
        </message>
        <message id="feedback.mail.thanks">
            <source>Thank you for helping to make Lumenote better! Tell us what happened, what you expected, and how to reproduce it if you can.</source>
            <translation>Grazie per aiutarci a migliorare Lumenote! Raccontaci che cosa è successo, che cosa ti aspettavi e, se puoi, come riprodurre il problema.</translation>
        </message>
        <message id="feedback.mail.system.note">
            <source>The system information below helps us to find problems; you may delete it.</source>
            <translation>Le informazioni di sistema qui sotto ci aiutano a trovare i problemi; puoi cancellarle.</translation>
        </message>
        <message id="import.duplicate.open.existing">
            <source>Open Existing</source>
            <translation>Apri quella esistente</translation>
        </message>
        <message id="import.duplicate.reprocess">
            <source>Process Again</source>
            <translation>Elabora di nuovo</translation>
        </message>
        <message id="import.duplicate.redownload.reprocess">
            <source>Download Again and Process</source>
            <translation>Scarica di nuovo ed elabora</translation>
        </message>
        <message id="import.duplicate.cancel">
            <source>Cancel</source>
            <translation>Annulla</translation>
        </message>
        <message id="import.title">
            <source>Import Lecture</source>
            <translation>Importa lezione</translation>
        </message>
        <message id="import.tab.file">
            <source>Video File</source>
            <translation>File video</translation>
        </message>
        <message id="import.tab.url">
            <source>Web Address</source>
            <translation>Indirizzo web</translation>
        </message>
        <message id="import.file.message">
            <source>Choose a lecture video on this computer (MP4, MOV or M4V). It stays where it is; Lumenote keeps a reference to it.</source>
            <translation>Scegli il video di una lezione su questo computer (MP4, MOV o M4V). Resta dov’è; Lumenote ne conserva un riferimento.</translation>
        </message>
        <message id="import.file.choose">
            <source>Choose File…</source>
            <translation>Scegli file…</translation>
        </message>
        <message id="import.url.no.downloader.label">
            <source>yt-dlp is not installed</source>
            <translation>yt-dlp non è installato</translation>
        </message>
        <message id="import.url.no.downloader.message">
            <source>Downloading from a web address needs yt-dlp. Install it with your package manager (for example “sudo apt install yt-dlp”), then check again.</source>
            <translation>Per scaricare da un indirizzo web serve yt-dlp. Installalo con il gestore di pacchetti (per esempio «sudo apt install yt-dlp»), poi controlla di nuovo.</translation>
        </message>
        <message id="import.url.no.downloader.retry">
            <source>Check Again</source>
            <translation>Controlla di nuovo</translation>
        </message>
        <message id="import.url.label">
            <source>Address of the lecture video</source>
            <translation>Indirizzo del video della lezione</translation>
        </message>
        <message id="import.url.placeholder">
            <source>https://www.example.com/lecture</source>
            <translation>https://www.esempio.it/lezione</translation>
        </message>
        <message id="import.url.stop">
            <source>Stop</source>
            <translation>Interrompi</translation>
        </message>
        <message id="import.footer.download.import">
            <source>Download and Import</source>
            <translation>Scarica e importa</translation>
        </message>
        <message id="import.footer.cancel">
            <source>Cancel</source>
            <translation>Annulla</translation>
        </message>
        <message id="import.url.invalid">
            <source>Enter a web address that begins with http:// or https://.</source>
            <translation>Inserisci un indirizzo web che inizi con http:// o https://.</translation>
        </message>
        <message id="import.url.preparing">
            <source>Preparing the download…</source>
            <translation>Preparazione del download…</translation>
        </message>
        <message id="import.url.stopped">
            <source>The download was stopped.</source>
            <translation>Il download è stato interrotto.</translation>
        </message>
        <message id="import.url.failed">
            <source>The download failed.</source>
            <translation>Il download non è riuscito.</translation>
        </message>
        <message id="import.file.chooser.title">
            <source>Choose a Lecture Video</source>
            <translation>Scegli il video di una lezione</translation>
        </message>
        <message id="import.duplicate.title">
            <source>Already in Your Library</source>
            <translation>Già nella tua libreria</translation>
        </message>
        <message id="import.duplicate.message.url">
            <source>“%1” was already downloaded from this address. Open it, or download it again and process it anew?</source>
            <translation>«%1» è già stata scaricata da questo indirizzo. Vuoi aprirla, oppure scaricarla di nuovo ed elaborarla da capo?</translation>
        </message>
        <message id="import.duplicate.message.file">
            <source>“%1” was already imported from this file. Open it, or process it again?</source>
            <translation>«%1» è già stata importata da questo file. Vuoi aprirla o elaborarla di nuovo?</translation>
        </message>
        <message id="detail.status">
            <source>Status: %1</source>
            <translation>Stato: %1</translation>
        </message>
        <message id="detail.source.url">
            <source>Downloaded from %1</source>
            <translation>Scaricata da %1</translation>
        </message>
        <message id="detail.source.file">
            <source>Video file: %1</source>
            <translation>File video: %1</translation>
        </message>
        <message id="detail.export.path">
            <source>Study page: %1</source>
            <translation>Pagina di studio: %1</translation>
        </message>
        <message id="detail.export.none">
            <source>Not exported yet. The study page will be written to %1.</source>
            <translation>Non ancora esportata. La pagina di studio verrà salvata in %1.</translation>
        </message>
        <message id="sidebar.undo.rename.folder">
            <source>Rename Folder</source>
            <translation>Rinomina cartella</translation>
        </message>
        <message id="sidebar.undo.move.to.folder">
            <source>Move to Folder</source>
            <translation>Sposta nella cartella</translation>
        </message>
        <message id="sidebar.lecture.remove.from.folder">
            <source>Remove from Folder</source>
            <translation>Togli dalla cartella</translation>
        </message>
        <message id="sidebar.status.pending">
            <source>Pending</source>
            <translation>In attesa</translation>
        </message>
        <message id="sidebar.status.missing">
            <source>Export missing</source>
            <translation>Esportazione mancante</translation>
        </message>
        <message id="sidebar.status.transcribing">
            <source>Transcribing</source>
            <translation>Trascrizione</translation>
        </message>
        <message id="sidebar.status.capturing.screenshots">
            <source>Capturing slides</source>
            <translation>Acquisizione diapositive</translation>
        </message>
        <message id="sidebar.status.consolidating">
            <source>Writing notes</source>
            <translation>Stesura degli appunti</translation>
        </message>
        <message id="sidebar.status.generating.page">
            <source>Exporting</source>
            <translation>Esportazione</translation>
        </message>
        <message id="sidebar.status.complete">
            <source>Ready</source>
            <translation>Pronta</translation>
        </message>
        <message id="sidebar.status.failed">
            <source>Failed</source>
            <translation>Non riuscita</translation>
        </message>
        <message id="sidebar.confirm.delete">
            <source>Delete</source>
            <translation>Elimina</translation>
        </message>
        <message id="sidebar.title">
            <source>Library</source>
            <translation>Libreria</translation>
        </message>
        <message id="sidebar.menu.new.folder">
            <source>New Folder</source>
            <translation>Nuova cartella</translation>
        </message>
        <message id="sidebar.filter.placeholder">
            <source>Search lectures</source>
            <translation>Cerca nelle lezioni</translation>
        </message>
        <message id="sidebar.empty.title">
            <source>No lectures yet</source>
            <translation>Ancora nessuna lezione</translation>
        </message>
        <message id="sidebar.empty.message">
            <source>Import a lecture video to get started.</source>
            <translation>Importa il video di una lezione per iniziare.</translation>
        </message>
        <message id="sidebar.filter.hits">
            <source>Matches: %1 · Lectures: %2</source>
            <translation>Corrispondenze: %1 · Lezioni: %2</translation>
        </message>
        <message id="sidebar.filter.no.matches">
            <source>No lecture matches your search.</source>
            <translation>Nessuna lezione corrisponde alla ricerca.</translation>
        </message>
        <message id="sidebar.stats.summary">
            <source>Lectures: %1 · Duration: %2
Words: %3 · Screenshots: %4</source>
            <translation>Lezioni: %1 · Durata: %2
Parole: %3 · Schermate: %4</translation>
        </message>
        <message id="sidebar.lecture.move.to.folder">
            <source>Move to Folder</source>
            <translation>Sposta nella cartella</translation>
        </message>
        <message id="sidebar.lecture.move.no.folders">
            <source>No folders yet</source>
            <translation>Ancora nessuna cartella</translation>
        </message>
        <message id="sidebar.lecture.delete">
            <source>Delete Lecture…</source>
            <translation>Elimina lezione…</translation>
        </message>
        <message id="sidebar.lecture.delete.selected">
            <source>Delete %1 Lectures…</source>
            <translation>Elimina %1 lezioni…</translation>
        </message>
        <message id="sidebar.folder.rename">
            <source>Rename Folder</source>
            <translation>Rinomina cartella</translation>
        </message>
        <message id="sidebar.folder.delete">
            <source>Delete Folder…</source>
            <translation>Elimina cartella…</translation>
        </message>
        <message id="sidebar.folder.delete.contents">
            <source>Delete Folder and Its Lectures…</source>
            <translation>Elimina la cartella e le sue lezioni…</translation>
        </message>
        <message id="sidebar.menu.delete.unprocessed">
            <source>Delete Unprocessed Lectures…</source>
            <translation>Elimina lezioni non elaborate…</translation>
        </message>
        <message id="sidebar.menu.delete.all">
            <source>Delete All Lectures…</source>
            <translation>Elimina tutte le lezioni…</translation>
        </message>
        <message id="sidebar.folder.new.name">
            <source>New Folder</source>
            <translation>Nuova cartella</translation>
        </message>
        <message id="sidebar.confirm.delete.lecture.title">
            <source>Delete “%1”?</source>
            <translation>Eliminare «%1»?</translation>
        </message>
        <message id="sidebar.confirm.delete.lecture.message">
            <source>The lecture, its transcript, its screenshots and its exported study page are removed. This cannot be undone.</source>
            <translation>Verranno eliminate la lezione, la trascrizione, le schermate e la pagina di studio esportata. L’operazione non si può annullare.</translation>
        </message>
        <message id="sidebar.confirm.delete.selected.title">
            <source>Delete %1 lectures?</source>
            <translation>Eliminare %1 lezioni?</translation>
        </message>
        <message id="sidebar.confirm.delete.selected.message">
            <source>The selected lectures, their transcripts, screenshots and exported study pages are removed. This cannot be undone.</source>
            <translation>Verranno eliminate le lezioni selezionate con trascrizioni, schermate e pagine di studio esportate. L’operazione non si può annullare.</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.contents.title">
            <source>Delete the folder “%1” and its lectures?</source>
            <translation>Eliminare la cartella «%1» e le sue lezioni?</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.contents.message">
            <source>Every lecture in this folder is removed with its transcript, screenshots and exported study page. This cannot be undone.</source>
            <translation>Ogni lezione di questa cartella verrà eliminata con trascrizione, schermate e pagina di studio esportata. L’operazione non si può annullare.</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.title">
            <source>Delete the folder “%1”?</source>
            <translation>Eliminare la cartella «%1»?</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.message">
            <source>Its lectures are kept and move to the top of the library.</source>
            <translation>Le sue lezioni vengono conservate e tornano al primo livello della libreria.</translation>
        </message>
        <message id="sidebar.confirm.delete.all.title">
            <source>Delete all lectures?</source>
            <translation>Eliminare tutte le lezioni?</translation>
        </message>
        <message id="sidebar.confirm.delete.all.message">
            <source>All %1 lectures are removed with their transcripts, screenshots and exported study pages. Downloaded videos stay in the cache. This cannot be undone.</source>
            <translation>Verranno eliminate tutte le %1 lezioni con trascrizioni, schermate e pagine di studio esportate. I video scaricati restano nella cache. L’operazione non si può annullare.</translation>
        </message>
        <message id="sidebar.confirm.delete.unprocessed.title">
            <source>Delete unprocessed lectures?</source>
            <translation>Eliminare le lezioni non elaborate?</translation>
        </message>
        <message id="sidebar.confirm.delete.unprocessed.message">
            <source>%1 lectures that are not complete (pending, failed or with a missing export) are removed. Finished lectures stay.</source>
            <translation>Verranno eliminate %1 lezioni non completate (in attesa, non riuscite o con l’esportazione mancante). Le lezioni completate restano.</translation>
        </message>
        <message id="menu.file">
            <source>&amp;File</source>
            <translation>&amp;Archivio</translation>
        </message>
        <message id="menu.edit">
            <source>&amp;Edit</source>
            <translation>&amp;Modifica</translation>
        </message>
        <message id="menu.help">
            <source>&amp;Help</source>
            <translation>&amp;Aiuto</translation>
        </message>
        <message id="menu.file.import">
            <source>&amp;Import Lecture…</source>
            <translation>&amp;Importa lezione…</translation>
        </message>
        <message id="menu.file.new.folder">
            <source>&amp;New Folder</source>
            <translation>&amp;Nuova cartella</translation>
        </message>
        <message id="menu.file.quit">
            <source>&amp;Quit</source>
            <translation>&amp;Esci</translation>
        </message>
        <message id="menu.edit.find">
            <source>&amp;Find Lecture</source>
            <translation>&amp;Trova lezione</translation>
        </message>
        <message id="menu.edit.settings">
            <source>&amp;Settings…</source>
            <translation>&amp;Impostazioni…</translation>
        </message>
        <message id="menu.help.contents">
            <source>Lumenote &amp;Help</source>
            <translation>&amp;Guida di Lumenote</translation>
        </message>
        <message id="menu.help.feedback">
            <source>Send &amp;Feedback…</source>
            <translation>Invia &amp;feedback…</translation>
        </message>
        <message id="menu.edit.undo.named">
            <source>&amp;Undo %1</source>
            <translation>&amp;Annulla: %1</translation>
        </message>
        <message id="menu.edit.undo">
            <source>&amp;Undo</source>
            <translation>&amp;Annulla</translation>
        </message>
        <message id="menu.edit.redo.named">
            <source>&amp;Redo %1</source>
            <translation>&amp;Ripeti: %1</translation>
        </message>
        <message id="menu.edit.redo">
            <source>&amp;Redo</source>
            <translation>&amp;Ripeti</translation>
        </message>
        <message id="main.processing.busy">
            <source>“%1” is still being processed; try again when it has finished.</source>
            <translation>«%1» è ancora in elaborazione; riprova quando avrà finito.</translation>
        </message>
        <message id="splash.status.staging">
            <source>Staging yt-dlp…</source>
            <translation>Preparazione di yt-dlp…</translation>
        </message>
        <message id="splash.status.checking">
            <source>Checking for updates…</source>
            <translation>Ricerca di aggiornamenti…</translation>
        </message>
        <message id="splash.status.ready">
            <source>Ready.</source>
            <translation>Pronto.</translation>
        </message>
        <message id="welcome.title">
            <source>Welcome to Lumenote</source>
            <translation>Benvenuto in Lumenote</translation>
        </message>
        <message id="welcome.message">
            <source>Turn a recorded lecture into a study page with its transcript, slides and notes.</source>
            <translation>Trasforma una lezione registrata in una pagina di studio con trascrizione, diapositive e appunti.</translation>
        </message>
        <message id="welcome.import">
            <source>Import Lecture…</source>
            <translation>Importa lezione…</translation>
        </message>
        <message id="welcome.drop.hint">
            <source>or drop a video file (MP4, MOV, M4V) here</source>
            <translation>oppure trascina qui un file video (MP4, MOV, M4V)</translation>
        </message>
    </context>
</TS>
