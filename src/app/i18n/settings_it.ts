<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it">
    <context>
        <name />
        <message id="settings.window.title">
            <source>Settings</source>
            <translation>Impostazioni</translation>
        </message>
        <message id="settings.tab.general">
            <source>General</source>
            <translation>Generali</translation>
        </message>
        <message id="settings.tab.consolidation">
            <source>Consolidation</source>
            <translation>Sintesi</translation>
        </message>
        <message id="settings.tab.markdown">
            <source>Markdown</source>
            <translation>Esportazione Markdown</translation>
        </message>
        <message id="settings.tab.tools">
            <source>Tools</source>
            <translation>Strumenti</translation>
        </message>
        <message id="settings.tab.cache">
            <source>Cache</source>
            <translation>Video scaricati</translation>
        </message>
        <message id="settings.folder.choose">
            <source>Choose…</source>
            <translation>Scegli…</translation>
        </message>
        <message id="settings.folder.reset">
            <source>Use Default</source>
            <translation>Usa predefinita</translation>
        </message>
        <message id="settings.folder.error.not.folder">
            <source>“%1” is not a folder. The setting was not changed.</source>
            <translation>«%1» non è una cartella. L’impostazione non è stata modificata.</translation>
        </message>
        <message id="settings.general.interval.value">
            <source>%1 seconds</source>
            <oldsource>%1 s</oldsource>
            <translation>%1 secondi</translation>
        </message>
        <message id="settings.general.language">
            <source>Language:</source>
            <translation>Lingua:</translation>
        </message>
        <message id="settings.general.language.note">
            <source>The interface changes at once; lectures and exports keep their own language.</source>
            <translation>L’interfaccia cambia subito; le lezioni e le esportazioni mantengono la propria lingua.</translation>
        </message>
        <message id="settings.general.spoken">
            <source>Spoken language:</source>
            <translation>Lingua parlata:</translation>
        </message>
        <message id="settings.general.spoken.auto">
            <source>Detect automatically</source>
            <translation>Rileva automaticamente</translation>
        </message>
        <message id="settings.general.spoken.note">
            <source>The language the lectures are given in, for transcription. Detected automatically, the model listens to the first half minute. English-only models always write English.</source>
            <translation>La lingua in cui sono tenute le lezioni, per la trascrizione. Con il rilevamento automatico, il modello ascolta il primo mezzo minuto. I modelli solo inglesi scrivono sempre in inglese.</translation>
        </message>
        <message id="settings.general.logo">
            <source>Logo artwork:</source>
            <oldsource>Logo:</oldsource>
            <translation>Grafica del logo:</translation>
        </message>
        <message id="settings.general.logo.automatic">
            <source>Seasonal (automatic)</source>
            <translation>Stagionale (automatico)</translation>
        </message>
        <message id="settings.general.logo.standard">
            <source>Standard</source>
            <translation>Classico</translation>
        </message>
        <message id="settings.general.logo.autumn">
            <source>Autumn</source>
            <translation>Autunno</translation>
        </message>
        <message id="settings.general.logo.christmas">
            <source>Christmas</source>
            <translation>Natale</translation>
        </message>
        <message id="settings.general.interval">
            <source>Screenshot interval:</source>
            <translation>Intervallo delle schermate:</translation>
        </message>
        <message id="settings.general.interval.tooltip">
            <source>The longest stretch of a lecture without a screenshot.</source>
            <translation>Il tratto più lungo di una lezione senza schermata.</translation>
        </message>
        <message id="settings.general.export.folder">
            <source>Export folder:</source>
            <translation>Cartella di esportazione:</translation>
        </message>
        <message id="settings.general.export.folder.chooser">
            <source>Choose the Export Folder</source>
            <translation>Scegli la cartella di esportazione</translation>
        </message>
        <message id="settings.general.sync.folder">
            <source>Sync folder:</source>
            <translation>Cartella sincronizzata:</translation>
        </message>
        <message id="settings.general.sync.folder.none">
            <source>None: the library stays on this computer</source>
            <translation>Nessuna: la libreria resta su questo computer</translation>
        </message>
        <message id="settings.general.sync.folder.chooser">
            <source>Choose the Sync Folder</source>
            <translation>Scegli la cartella sincronizzata</translation>
        </message>
        <message id="settings.general.sync.folder.note">
            <source>A folder that your sync client (Nextcloud, Syncthing, Dropbox…) keeps in step between your computers. Lumenote keeps its library and exports in its “Lumenote” subfolder. A change takes effect the next time Lumenote starts.</source>
            <translation>Una cartella che il tuo client di sincronizzazione (Nextcloud, Syncthing, Dropbox…) mantiene allineata tra i tuoi computer. Lumenote conserva la libreria e le esportazioni nella sottocartella «Lumenote». La modifica ha effetto al prossimo avvio di Lumenote.</translation>
        </message>
        <message id="settings.general.sync.never">
            <source>never</source>
            <translation>mai</translation>
        </message>
        <message id="settings.general.sync.status">
            <source>Last sent: %1 (%2 records) · last received: %3 (%4 records) · waiting: %5 · conflicts resolved: %6</source>
            <translation>Ultimo invio: %1 (%2 schede) · ultima ricezione: %3 (%4 schede) · in attesa: %5 · conflitti risolti: %6</translation>
        </message>
        <message id="settings.markdown.description">
            <source>Besides the HTML study document, each export can write a Markdown file with the notes, the transcript and the screenshots, ready for a notes vault such as Obsidian.</source>
            <translation>Oltre al documento di studio HTML, ogni esportazione può scrivere un file Markdown con gli appunti, la trascrizione e le schermate, pronto per un archivio di note come Obsidian.</translation>
        </message>
        <message id="settings.markdown.enabled">
            <source>Write a Markdown file with every export</source>
            <translation>Scrivi un file Markdown a ogni esportazione</translation>
        </message>
        <message id="settings.markdown.obsidian">
            <source>Use Obsidian embeds for images</source>
            <translation>Usa gli incorporamenti di Obsidian per le immagini</translation>
        </message>
        <message id="settings.markdown.obsidian.example.on">
            <source>Images are written as ![[images/file.jpg]]</source>
            <translation>Le immagini sono scritte come ![[images/file.jpg]]</translation>
        </message>
        <message id="settings.markdown.obsidian.example.off">
            <source>Images are written as ![](images/file.jpg)</source>
            <translation>Le immagini sono scritte come ![](images/file.jpg)</translation>
        </message>
        <message id="settings.markdown.folder">
            <source>Markdown folder:</source>
            <translation>Cartella Markdown:</translation>
        </message>
        <message id="settings.markdown.folder.default">
            <source>Same folder as the HTML export</source>
            <translation>La stessa cartella dell’esportazione HTML</translation>
        </message>
        <message id="settings.markdown.folder.chooser">
            <source>Choose the Markdown Folder</source>
            <translation>Scegli la cartella Markdown</translation>
        </message>
        <message id="settings.markdown.folder.note">
            <source>In a folder of your own, each lecture gets a subfolder named after its date and title, with a copy of its images.</source>
            <translation>In una cartella tua, ogni lezione riceve una sottocartella con la sua data e il suo titolo, con una copia delle immagini.</translation>
        </message>
        <message id="settings.consolidation.claude.fetching">
            <source>Loading the models of your account…</source>
            <translation>Caricamento dei modelli del tuo account…</translation>
        </message>
        <message id="settings.consolidation.claude.fetched">
            <source>%1 models available to your account.</source>
            <translation>%1 modelli disponibili per il tuo account.</translation>
        </message>
        <message id="settings.consolidation.claude.builtin">
            <source>Built-in list. Save an API key to see the models of your account.</source>
            <translation>Elenco integrato. Salva una chiave API per vedere i modelli del tuo account.</translation>
        </message>
        <message id="settings.consolidation.ollama.fetching">
            <source>Looking for installed models…</source>
            <translation>Ricerca dei modelli installati…</translation>
        </message>
        <message id="settings.consolidation.ollama.fetched">
            <source>%1 models installed on this server.</source>
            <translation>%1 modelli installati su questo server.</translation>
        </message>
        <message id="settings.consolidation.key.file">
            <source>No Secret Service is running, so the key is kept in %1, readable only by you.</source>
            <translation>Nessun Secret Service è attivo, quindi la chiave è conservata in %1, leggibile solo da te.</translation>
        </message>
        <message id="settings.consolidation.key.keyring">
            <source>The key is kept in your desktop's keyring (Secret Service).</source>
            <translation>La chiave è conservata nel portachiavi del tuo desktop (Secret Service).</translation>
        </message>
        <message id="settings.consolidation.enabled">
            <source>Consolidate new lectures into study notes</source>
            <translation>Trasforma le nuove lezioni in appunti di studio</translation>
        </message>
        <message id="settings.consolidation.provider">
            <source>Provider:</source>
            <translation>Fornitore:</translation>
        </message>
        <message id="settings.consolidation.claude.title">
            <source>Claude (Anthropic)</source>
            <translation>Claude (di Anthropic)</translation>
        </message>
        <message id="settings.consolidation.key">
            <source>API key:</source>
            <translation>Chiave API:</translation>
        </message>
        <message id="settings.consolidation.key.placeholder">
            <source>Paste your Anthropic API key</source>
            <translation>Incolla la tua chiave API di Anthropic</translation>
        </message>
        <message id="settings.consolidation.key.save">
            <source>Save</source>
            <translation>Salva</translation>
        </message>
        <message id="settings.consolidation.key.remove">
            <source>Remove</source>
            <translation>Rimuovi</translation>
        </message>
        <message id="settings.consolidation.model">
            <source>Model:</source>
            <translation>Modello:</translation>
        </message>
        <message id="settings.consolidation.refresh">
            <source>Refresh</source>
            <translation>Aggiorna</translation>
        </message>
        <message id="settings.consolidation.ollama.title">
            <source>Ollama (on your own computer or network)</source>
            <translation>Ollama (sul tuo computer o nella tua rete)</translation>
        </message>
        <message id="settings.consolidation.ollama.endpoint">
            <source>Server address:</source>
            <translation>Indirizzo del server:</translation>
        </message>
        <message id="settings.consolidation.ollama.model.manual">
            <source>(type manually or tap Refresh)</source>
            <translation>(scrivilo a mano o premi Aggiorna)</translation>
        </message>
        <message id="settings.consolidation.ollama.model.placeholder">
            <source>Select a model…</source>
            <translation>Scegli un modello…</translation>
        </message>
        <message id="settings.consolidation.prompt">
            <source>Instructions given to the model:</source>
            <translation>Istruzioni per il modello:</translation>
        </message>
        <message id="settings.consolidation.prompt.reset">
            <source>Reset to Default</source>
            <translation>Ripristina</translation>
        </message>
        <message id="settings.tools.status.current">
            <source>Up to date (version %1)</source>
            <translation>Aggiornato (versione %1)</translation>
        </message>
        <message id="settings.tools.status.available">
            <source>Version %1 is available (installed: %2)</source>
            <translation>È disponibile la versione %1 (installata: %2)</translation>
        </message>
        <message id="settings.tools.status.checking">
            <source>Checking for a newer version…</source>
            <translation>Ricerca di una versione più recente…</translation>
        </message>
        <message id="settings.tools.status.updating">
            <source>Downloading… %1%</source>
            <translation>Scaricamento… %1%</translation>
        </message>
        <message id="settings.tools.status.failed">
            <source>The check failed. Check your connection and try again.</source>
            <translation>Il controllo non è riuscito. Verifica la connessione e riprova.</translation>
        </message>
        <message id="settings.tools.status.known">
            <source>Version %1 (not checked in this session)</source>
            <translation>Versione %1 (non controllata in questa sessione)</translation>
        </message>
        <message id="settings.tools.status.unknown">
            <source>Not checked yet</source>
            <translation>Non ancora controllato</translation>
        </message>
        <message id="settings.tools.last.check.never">
            <source>Never checked</source>
            <translation>Mai controllato</translation>
        </message>
        <message id="settings.tools.last.check">
            <source>Last checked: %1</source>
            <translation>Ultimo controllo: %1</translation>
        </message>
        <message id="settings.tools.ytdlp.missing">
            <source>Not found. Install yt-dlp with your package manager to import from web addresses.</source>
            <translation>Non trovato. Installa yt-dlp con il tuo gestore di pacchetti per importare da indirizzi web.</translation>
        </message>
        <message id="settings.tools.ffmpeg.missing">
            <source>Not found. Lumenote needs ffmpeg for web videos and for videos it must convert.</source>
            <translation>Non trovato. Lumenote ha bisogno di ffmpeg per i video dal web e per quelli da convertire.</translation>
        </message>
        <message id="settings.tools.update">
            <source>Update</source>
            <translation>Aggiorna</translation>
        </message>
        <message id="settings.tools.install">
            <source>Install</source>
            <translation>Installa</translation>
        </message>
        <message id="settings.tools.models.stop">
            <source>Stop Download</source>
            <translation>Interrompi il download</translation>
        </message>
        <message id="settings.tools.models.update">
            <source>Download Update</source>
            <translation>Scarica l’aggiornamento</translation>
        </message>
        <message id="settings.tools.models.download">
            <source>Download</source>
            <translation>Scarica</translation>
        </message>
        <message id="settings.tools.models.error">
            <source>The last download failed: %1</source>
            <translation>L’ultimo download non è riuscito: %1</translation>
        </message>
        <message id="settings.tools.models.checking">
            <source>Checking the model repository for newer revisions…</source>
            <translation>Ricerca di revisioni più recenti nell’archivio dei modelli…</translation>
        </message>
        <message id="settings.tools.models.delete.title">
            <source>Delete the %1 model?</source>
            <translation>Eliminare il modello %1?</translation>
        </message>
        <message id="settings.tools.models.delete.text">
            <source>The %1 model is removed from this computer. You can download it again at any time.</source>
            <translation>Il modello %1 verrà rimosso da questo computer. Potrai scaricarlo di nuovo in qualsiasi momento.</translation>
        </message>
        <message id="settings.tools.models.delete">
            <source>Delete</source>
            <translation>Elimina</translation>
        </message>
        <message id="settings.cancel">
            <source>Cancel</source>
            <translation>Annulla</translation>
        </message>
        <message id="settings.tools.check">
            <source>Check Now</source>
            <translation>Controlla ora</translation>
        </message>
        <message id="settings.tools.models.title">
            <source>Speech models</source>
            <translation>Modelli di riconoscimento vocale</translation>
        </message>
        <message id="settings.tools.models.description">
            <source>Transcription runs on this computer with the checked model. Larger models are more accurate but slower.</source>
            <translation>La trascrizione avviene su questo computer con il modello selezionato. I modelli più grandi sono più precisi ma più lenti.</translation>
        </message>
        <message id="settings.tools.models.use">
            <source>Use This Model</source>
            <translation>Usa questo modello</translation>
        </message>
        <message id="settings.tools.models.delete.button">
            <source>Delete…</source>
            <translation>Elimina…</translation>
        </message>
        <message id="settings.tools.models.check">
            <source>Check for Updates</source>
            <translation>Cerca aggiornamenti</translation>
        </message>
        <message id="settings.tools.models.note.fastest">
            <source>Fastest</source>
            <translation>Il più veloce</translation>
        </message>
        <message id="settings.tools.models.note.balance">
            <source>Good balance</source>
            <translation>Buon compromesso</translation>
        </message>
        <message id="settings.tools.models.note.recommended">
            <source>Recommended</source>
            <translation>Consigliato</translation>
        </message>
        <message id="settings.tools.models.note.high">
            <source>High accuracy</source>
            <translation>Alta precisione</translation>
        </message>
        <message id="settings.tools.models.note.best">
            <source>Best accuracy</source>
            <translation>Massima precisione</translation>
        </message>
        <message id="settings.tools.models.state.downloading">
            <source>Downloading… %1%</source>
            <translation>Scaricamento… %1%</translation>
        </message>
        <message id="settings.tools.models.state.absent">
            <source>Not downloaded</source>
            <translation>Non scaricato</translation>
        </message>
        <message id="settings.tools.models.state.checking">
            <source>Checking…</source>
            <translation>Controllo…</translation>
        </message>
        <message id="settings.tools.models.state.available">
            <source>Update available</source>
            <translation>Aggiornamento disponibile</translation>
        </message>
        <message id="settings.tools.models.state.failed">
            <source>Downloaded (check failed)</source>
            <translation>Scaricato (controllo non riuscito)</translation>
        </message>
        <message id="settings.tools.models.state.current">
            <source>Up to date</source>
            <translation>Aggiornato</translation>
        </message>
        <message id="settings.tools.models.state.downloaded">
            <source>Downloaded</source>
            <translation>Scaricato</translation>
        </message>
        <message id="settings.tools.models.column.name">
            <source>Model</source>
            <translation>Modello</translation>
        </message>
        <message id="settings.tools.models.column.size">
            <source>Download</source>
            <translation>Dimensione</translation>
        </message>
        <message id="settings.tools.models.column.note">
            <source>Best for</source>
            <translation>Ideale per</translation>
        </message>
        <message id="settings.tools.models.column.state">
            <source>State</source>
            <translation>Stato</translation>
        </message>
        <message id="settings.cache.in.use">
            <source>In use</source>
            <translation>In uso</translation>
        </message>
        <message id="settings.cache.incomplete">
            <source>Incomplete download</source>
            <translation>Download incompleto</translation>
        </message>
        <message id="settings.cache.column.name">
            <source>Video name</source>
            <oldsource>Video</oldsource>
            <translation>Nome del video</translation>
        </message>
        <message id="settings.cache.column.size">
            <source>Size</source>
            <translation>Dimensione</translation>
        </message>
        <message id="settings.cache.column.label">
            <source>Status</source>
            <translation>Stato</translation>
        </message>
        <message id="settings.cache.total">
            <source>%1 videos, %2 in total</source>
            <translation>%1 video, %2 in totale</translation>
        </message>
        <message id="settings.cache.delete.failed">
            <source>“%1” could not be deleted.</source>
            <translation>Impossibile eliminare «%1».</translation>
        </message>
        <message id="settings.cache.remove.all.confirm">
            <source>Lectures that used these videos will need to be re-downloaded before they can be reprocessed.</source>
            <translation>Le lezioni che usavano questi video dovranno scaricarli di nuovo prima di poter essere rielaborate.</translation>
        </message>
        <message id="settings.cache.remove.all.in.use.one">
            <source>%1 file is still used by library items and will not be removed.</source>
            <translation>%1 file è ancora usato dalla libreria e non verrà rimosso.</translation>
        </message>
        <message id="settings.cache.remove.all.in.use.many">
            <source>%1 files are still used by library items and will not be removed.</source>
            <translation>%1 file sono ancora usati dalla libreria e non verranno rimossi.</translation>
        </message>
        <message id="settings.cache.remove.all">
            <source>Remove All Unused Videos</source>
            <translation>Elimina tutti i video inutilizzati</translation>
        </message>
        <message id="settings.cache.title">
            <source>Downloaded Videos</source>
            <translation>Video scaricati</translation>
        </message>
        <message id="settings.cache.description">
            <source>Videos downloaded from web addresses stay here so that lectures can be processed again. Videos that a lecture still uses are protected.</source>
            <translation>I video scaricati da indirizzi web restano qui, così le lezioni possono essere rielaborate. Quelli ancora usati da una lezione sono protetti.</translation>
        </message>
        <message id="settings.cache.calculating">
            <source>Calculating sizes…</source>
            <translation>Calcolo delle dimensioni…</translation>
        </message>
        <message id="settings.cache.empty.title">
            <source>No downloaded videos</source>
            <translation>Nessun video scaricato</translation>
        </message>
        <message id="settings.cache.empty.detail">
            <source>Videos you import from a web address appear here.</source>
            <translation>Qui compaiono i video importati da un indirizzo web.</translation>
        </message>
        <message id="settings.cache.protected.legend">
            <source>Videos marked “In use” belong to lectures in your library and cannot be deleted here.</source>
            <translation>I video contrassegnati «In uso» appartengono a lezioni della tua libreria e non possono essere eliminati da qui.</translation>
        </message>
        <message id="settings.cache.delete">
            <source>Delete</source>
            <translation>Elimina</translation>
        </message>
        <message id="settings.consolidation.error.ollama.address">
            <source>The Ollama server address is not valid.</source>
            <translation>L’indirizzo del server Ollama non è valido.</translation>
        </message>
        <message id="settings.consolidation.error.ollama.response">
            <source>Ollama answered with something unexpected.</source>
            <translation>Ollama ha risposto in modo inatteso.</translation>
        </message>
        <message id="settings.consolidation.error.ollama.empty">
            <source>Ollama is running but has no models installed.</source>
            <translation>Ollama è attivo ma non ha modelli installati.</translation>
        </message>
        <message id="settings.consolidation.error.ollama.unreachable">
            <source>Could not reach Ollama at %1. Is it running?</source>
            <translation>Impossibile raggiungere Ollama all’indirizzo %1. È in esecuzione?</translation>
        </message>
        <message id="settings.consolidation.error.claude.silent">
            <source>Anthropic did not answer.</source>
            <translation>Anthropic non ha risposto.</translation>
        </message>
        <message id="settings.consolidation.error.claude.response">
            <source>Anthropic answered with something unexpected.</source>
            <translation>Anthropic ha risposto in modo inatteso.</translation>
        </message>
        <message id="settings.consolidation.error.claude.empty">
            <source>The API returned no models.</source>
            <translation>L’API non ha restituito alcun modello.</translation>
        </message>
        <message id="settings.consolidation.error.claude.unreachable">
            <source>Could not reach the Anthropic API: %1</source>
            <translation>Impossibile raggiungere l’API di Anthropic: %1</translation>
        </message>
        <message id="settings.consolidation.error.claude.status">
            <source>The Anthropic API answered %1</source>
            <translation>L’API di Anthropic ha risposto %1</translation>
        </message>
    </context>
</TS>
