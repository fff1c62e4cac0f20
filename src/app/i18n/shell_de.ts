<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
    <context>
        <name />
        <message id="startup.store.error.title">
            <source>Lumenote cannot open its library.</source>
            <translation>Lumenote kann seine Bibliothek nicht öffnen.</translation>
        </message>
        <message id="startup.store.error.message">
            <source>The library file is at %1.

%2

The file has not been changed. Move it aside or restore a backup, then start Lumenote again.</source>
            <translation>Die Bibliotheksdatei liegt unter %1.

%2

Die Datei wurde nicht verändert. Verschieben Sie sie oder stellen Sie eine Sicherung wieder her und starten Sie Lumenote dann erneut.</translation>
        </message>
        <message id="feedback.mail.thanks">
            <source>Thank you for helping to make Lumenote better! Tell us what happened, what you expected, and how to reproduce it if you can.</source>
            <translation>Danke, dass Sie helfen, Lumenote besser zu machen! Beschreiben Sie, was passiert ist, was Sie erwartet haben und, wenn möglich, wie es sich wiederholen lässt.</translation>
        </message>
        <message id="feedback.mail.system.note">
            <source>The system information below helps us to find problems; you may delete it.</source>
            <translation>Die Systemangaben unten helfen uns bei der Fehlersuche; Sie dürfen sie löschen.</translation>
        </message>
        <message id="import.duplicate.open.existing">
            <source>Open Existing</source>
            <translation>Vorhandene öffnen</translation>
        </message>
        <message id="import.duplicate.reprocess">
            <source>Process Again</source>
            <translation>Erneut verarbeiten</translation>
        </message>
        <message id="import.duplicate.redownload.reprocess">
            <source>Download Again and Process</source>
            <translation>Erneut herunterladen und verarbeiten</translation>
        </message>
        <message id="import.duplicate.cancel">
            <source>Cancel</source>
            <translation>Abbrechen</translation>
        </message>
        <message id="import.title">
            <source>Import Lecture</source>
            <translation>Vorlesung importieren</translation>
        </message>
        <message id="import.tab.file">
            <source>Video File</source>
            <translation>Videodatei</translation>
        </message>
        <message id="import.tab.url">
            <source>Web Address</source>
            <translation>Webadresse</translation>
        </message>
        <message id="import.file.message">
            <source>Choose a lecture video on this computer (MP4, MOV or M4V). It stays where it is; Lumenote keeps a reference to it.</source>
            <translation>Wählen Sie ein Vorlesungsvideo auf diesem Computer (MP4, MOV oder M4V). Es bleibt, wo es ist; Lumenote merkt sich nur, wo es liegt.</translation>
        </message>
        <message id="import.file.choose">
            <source>Choose File…</source>
            <translation>Datei auswählen…</translation>
        </message>
        <message id="import.url.no.downloader.label">
            <source>yt-dlp is not installed</source>
            <translation>yt-dlp ist nicht installiert</translation>
        </message>
        <message id="import.url.no.downloader.message">
            <source>Downloading from a web address needs yt-dlp. Install it with your package manager (for example “sudo apt install yt-dlp”), then check again.</source>
            <translation>Zum Herunterladen von einer Webadresse wird yt-dlp benötigt. Installieren Sie es mit Ihrer Paketverwaltung (zum Beispiel „sudo apt install yt-dlp“) und prüfen Sie dann erneut.</translation>
        </message>
        <message id="import.url.no.downloader.retry">
            <source>Check Again</source>
            <translation>Erneut prüfen</translation>
        </message>
        <message id="import.url.label">
            <source>Address of the lecture video</source>
            <translation>Adresse des Vorlesungsvideos</translation>
        </message>
        <message id="import.url.placeholder">
            <source>https://www.example.com/lecture</source>
            <translation>https://www.beispiel.de/vorlesung</translation>
        </message>
        <message id="import.url.stop">
            <source>Stop</source>
            <translation>Stopp</translation>
        </message>
        <message id="import.footer.download.import">
            <source>Download and Import</source>
            <translation>Herunterladen und importieren</translation>
        </message>
        <message id="import.footer.cancel">
            <source>Cancel</source>
            <translation>Abbrechen</translation>
        </message>
        <message id="import.url.invalid">
            <source>Enter a web address that begins with http:// or https://.</source>
            <translation>Geben Sie eine Webadresse ein, die mit http:// oder https:// beginnt.</translation>
        </message>
        <message id="import.url.preparing">
            <source>Preparing the download…</source>
            <translation>Download wird vorbereitet…</translation>
        </message>
        <message id="import.url.stopped">
            <source>The download was stopped.</source>
            <translation>Der Download wurde abgebrochen.</translation>
        </message>
        <message id="import.url.failed">
            <source>The download failed.</source>
            <translation>Der Download ist fehlgeschlagen.</translation>
        </message>
        <message id="import.file.chooser.title">
            <source>Choose a Lecture Video</source>
            <translation>Vorlesungsvideo auswählen</translation>
        </message>
        <message id="import.duplicate.title">
            <source>Already in Your Library</source>
            <translation>Bereits in Ihrer Bibliothek</translation>
        </message>
        <message id="import.duplicate.message.url">
            <source>“%1” was already downloaded from this address. Open it, or download it again and process it anew?</source>
            <translation>„%1“ wurde bereits von dieser Adresse heruntergeladen. Öffnen oder erneut herunterladen und neu verarbeiten?</translation>
        </message>
        <message id="import.duplicate.message.file">
            <source>“%1” was already imported from this file. Open it, or process it again?</source>
            <translation>„%1“ wurde bereits aus dieser Datei importiert. Öffnen oder erneut verarbeiten?</translation>
        </message>
        <message id="detail.status">
            <source>Status: %1</source>
            <translation>Zustand: %1</translation>
        </message>
        <message id="detail.source.url">
            <source>Downloaded from %1</source>
            <translation>Heruntergeladen von %1</translation>
        </message>
        <message id="detail.source.file">
            <source>Video file: %1</source>
            <translation>Videodatei: %1</translation>
        </message>
        <message id="detail.export.path">
            <source>Study page: %1</source>
            <translation>Lernseite: %1</translation>
        </message>
        <message id="detail.export.none">
            <source>Not exported yet. The study page will be written to %1.</source>
            <translation>Noch nicht exportiert. Die Lernseite wird unter %1 gespeichert.</translation>
        </message>
        <message id="sidebar.undo.rename.folder">
            <source>Rename Folder</source>
            <translation>Ordner umbenennen</translation>
        </message>
        <message id="sidebar.undo.move.to.folder">
            <source>Move to Folder</source>
            <translation>In Ordner verschieben</translation>
        </message>
        <message id="sidebar.lecture.remove.from.folder">
            <source>Remove from Folder</source>
            <translation>Aus Ordner entfernen</translation>
        </message>
        <message id="sidebar.status.pending">
            <source>Pending</source>
            <translation>Ausstehend</translation>
        </message>
        <message id="sidebar.status.missing">
            <source>Export missing</source>
            <translation>Export fehlt</translation>
        </message>
        <message id="sidebar.status.transcribing">
            <source>Transcribing</source>
            <translation>Transkription</translation>
        </message>
        <message id="sidebar.status.capturing.screenshots">
            <source>Capturing slides</source>
            <translation>Folien werden erfasst</translation>
        </message>
        <message id="sidebar.status.consolidating">
            <source>Writing notes</source>
            <translation>Notizen werden verfasst</translation>
        </message>
        <message id="sidebar.status.generating.page">
            <source>Exporting</source>
            <translation>Export läuft</translation>
        </message>
        <message id="sidebar.status.complete">
            <source>Ready</source>
            <translation>Fertig</translation>
        </message>
        <message id="sidebar.status.failed">
            <source>Failed</source>
            <translation>Fehlgeschlagen</translation>
        </message>
        <message id="sidebar.confirm.delete">
            <source>Delete</source>
            <translation>Löschen</translation>
        </message>
        <message id="sidebar.title">
            <source>Library</source>
            <translation>Bibliothek</translation>
        </message>
        <message id="sidebar.menu.new.folder">
            <source>New Folder</source>
            <translation>Neuer Ordner</translation>
        </message>
        <message id="sidebar.filter.placeholder">
            <source>Search lectures</source>
            <translation>Vorlesungen durchsuchen</translation>
        </message>
        <message id="sidebar.empty.title">
            <source>No lectures yet</source>
            <translation>Noch keine Vorlesungen</translation>
        </message>
        <message id="sidebar.empty.message">
            <source>Import a lecture video to get started.</source>
            <translation>Importieren Sie ein Vorlesungsvideo, um loszulegen.</translation>
        </message>
        <message id="sidebar.filter.hits">
            <source>Matches: %1 · Lectures: %2</source>
            <translation>Treffer: %1 · Vorlesungen: %2</translation>
        </message>
        <message id="sidebar.filter.no.matches">
            <source>No lecture matches your search.</source>
            <translation>Keine Vorlesung passt zu Ihrer Suche.</translation>
        </message>
        <message id="sidebar.stats.summary">
            <source>Lectures: %1 · Duration: %2
Words: %3 · Screenshots: %4</source>
            <translation>Vorlesungen: %1 · Dauer: %2
Wörter: %3 · Bildschirmfotos: %4</translation>
        </message>
        <message id="sidebar.lecture.move.to.folder">
            <source>Move to Folder</source>
            <translation>In Ordner verschieben</translation>
        </message>
        <message id="sidebar.lecture.move.no.folders">
            <source>No folders yet</source>
            <translation>Noch keine Ordner</translation>
        </message>
        <message id="sidebar.lecture.delete">
            <source>Delete Lecture…</source>
            <translation>Vorlesung löschen…</translation>
        </message>
        <message id="sidebar.lecture.delete.selected">
            <source>Delete %1 Lectures…</source>
            <translation>%1 Vorlesungen löschen…</translation>
        </message>
        <message id="sidebar.folder.rename">
            <source>Rename Folder</source>
            <translation>Ordner umbenennen</translation>
        </message>
        <message id="sidebar.folder.delete">
            <source>Delete Folder…</source>
            <translation>Ordner löschen…</translation>
        </message>
        <message id="sidebar.folder.delete.contents">
            <source>Delete Folder and Its Lectures…</source>
            <translation>Ordner samt Vorlesungen löschen…</translation>
        </message>
        <message id="sidebar.menu.delete.unprocessed">
            <source>Delete Unprocessed Lectures…</source>
            <translation>Unverarbeitete Vorlesungen löschen…</translation>
        </message>
        <message id="sidebar.menu.delete.all">
            <source>Delete All Lectures…</source>
            <translation>Alle Vorlesungen löschen…</translation>
        </message>
        <message id="sidebar.folder.new.name">
            <source>New Folder</source>
            <translation>Neuer Ordner</translation>
        </message>
        <message id="sidebar.confirm.delete.lecture.title">
            <source>Delete “%1”?</source>
            <translation>„%1“ löschen?</translation>
        </message>
        <message id="sidebar.confirm.delete.lecture.message">
            <source>The lecture, its transcript, its screenshots and its exported study page are removed. This cannot be undone.</source>
            <translation>Die Vorlesung, ihr Transkript, ihre Bildschirmfotos und ihre exportierte Lernseite werden entfernt. Das lässt sich nicht rückgängig machen.</translation>
        </message>
        <message id="sidebar.confirm.delete.selected.title">
            <source>Delete %1 lectures?</source>
            <translation>%1 Vorlesungen löschen?</translation>
        </message>
        <message id="sidebar.confirm.delete.selected.message">
            <source>The selected lectures, their transcripts, screenshots and exported study pages are removed. This cannot be undone.</source>
            <translation>Die ausgewählten Vorlesungen samt Transkripten, Bildschirmfotos und exportierten Lernseiten werden entfernt. Das lässt sich nicht rückgängig machen.</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.contents.title">
            <source>Delete the folder “%1” and its lectures?</source>
            <translation>Ordner „%1“ samt Vorlesungen löschen?</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.contents.message">
            <source>Every lecture in this folder is removed with its transcript, screenshots and exported study page. This cannot be undone.</source>
            <translation>Jede Vorlesung in diesem Ordner wird mit Transkript, Bildschirmfotos und exportierter Lernseite entfernt. Das lässt sich nicht rückgängig machen.</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.title">
            <source>Delete the folder “%1”?</source>
            <translation>Ordner „%1“ löschen?</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.message">
            <source>Its lectures are kept and move to the top of the library.</source>
            <translation>Die Vorlesungen bleiben erhalten und wandern auf die oberste Ebene der Bibliothek.</translation>
        </message>
        <message id="sidebar.confirm.delete.all.title">
            <source>Delete all lectures?</source>
            <translation>Alle Vorlesungen löschen?</translation>
        </message>
        <message id="sidebar.confirm.delete.all.message">
            <source>All %1 lectures are removed with their transcripts, screenshots and exported study pages. Downloaded videos stay in the cache. This cannot be undone.</source>
            <translation>Alle %1 Vorlesungen werden mit Transkripten, Bildschirmfotos und exportierten Lernseiten entfernt. Heruntergeladene Videos bleiben im Zwischenspeicher. Das lässt sich nicht rückgängig machen.</translation>
        </message>
        <message id="sidebar.confirm.delete.unprocessed.title">
            <source>Delete unprocessed lectures?</source>
            <translation>Unverarbeitete Vorlesungen löschen?</translation>
        </message>
        <message id="sidebar.confirm.delete.unprocessed.message">
            <source>%1 lectures that are not complete (pending, failed or with a missing export) are removed. Finished lectures stay.</source>
            <translation>%1 nicht abgeschlossene Vorlesungen (ausstehend, fehlgeschlagen oder mit fehlendem Export) werden entfernt. Fertige Vorlesungen bleiben erhalten.</translation>
        </message>
        <message id="menu.file">
            <source>&amp;File</source>
            <translation>&amp;Datei</translation>
        </message>
        <message id="menu.edit">
            <source>&amp;Edit</source>
            <translation>&amp;Bearbeiten</translation>
        </message>
        <message id="menu.help">
            <source>&amp;Help</source>
            <translation>&amp;Hilfe</translation>
        </message>
        <message id="menu.file.import">
            <source>&amp;Import Lecture…</source>
            <translation>Vorlesung &amp;importieren…</translation>
        </message>
        <message id="menu.file.new.folder">
            <source>&amp;New Folder</source>
            <translation>&amp;Neuer Ordner</translation>
        </message>
        <message id="menu.file.quit">
            <source>&amp;Quit</source>
            <translation>&amp;Beenden</translation>
        </message>
        <message id="menu.edit.find">
            <source>&amp;Find Lecture</source>
            <translation>Vorlesung &amp;suchen</translation>
        </message>
        <message id="menu.edit.settings">
            <source>&amp;Settings…</source>
            <translation>&amp;Einstellungen…</translation>
        </message>
        <message id="menu.help.contents">
            <source>Lumenote &amp;Help</source>
            <translation>Lumenote-&amp;Hilfe</translation>
        </message>
        <message id="menu.help.feedback">
            <source>Send &amp;Feedback…</source>
            <translation>&amp;Feedback senden…</translation>
        </message>
        <message id="menu.edit.undo.named">
            <source>&amp;Undo %1</source>
            <translation>&amp;Rückgängig: %1</translation>
        </message>
        <message id="menu.edit.undo">
            <source>&amp;Undo</source>
            <translation>&amp;Rückgängig</translation>
        </message>
        <message id="menu.edit.redo.named">
            <source>&amp;Redo %1</source>
            <translation>&amp;Wiederholen: %1</translation>
        </message>
        <message id="menu.edit.redo">
            <source>&amp;Redo</source>
            <translation>&amp;Wiederholen</translation>
        </message>
        <message id="main.processing.busy">
            <source>“%1” is still being processed; try again when it has finished.</source>
            <translation>„%1“ wird noch verarbeitet; versuchen Sie es erneut, wenn die Verarbeitung abgeschlossen ist.</translation>
        </message>
        <message id="splash.status.staging">
            <source>Staging yt-dlp…</source>
            <translation>yt-dlp wird bereitgestellt…</translation>
        </message>
        <message id="splash.status.checking">
            <source>Checking for updates…</source>
            <translation>Suche nach Aktualisierungen…</translation>
        </message>
        <message id="splash.status.ready">
            <source>Ready.</source>
            <translation>Bereit.</translation>
        </message>
        <message id="welcome.title">
            <source>Welcome to Lumenote</source>
            <translation>Willkommen bei Lumenote</translation>
        </message>
        <message id="welcome.message">
            <source>Turn a recorded lecture into a study page with its transcript, slides and notes.</source>
            <translation>Machen Sie aus einer aufgezeichneten Vorlesung eine Lernseite mit Transkript, Folien und Notizen.</translation>
        </message>
        <message id="welcome.import">
            <source>Import Lecture…</source>
            <translation>Vorlesung importieren…</translation>
        </message>
        <message id="welcome.drop.hint">
            <source>or drop a video file (MP4, MOV, M4V) here</source>
            <translation>oder ziehen Sie eine Videodatei (MP4, MOV, M4V) hierher</translation>
        </message>
    </context>
</TS>
