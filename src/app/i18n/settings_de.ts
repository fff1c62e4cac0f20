<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
    <context>
        <name />
        <message id="settings.window.title">
            <source>Settings</source>
            <translation>Einstellungen</translation>
        </message>
        <message id="settings.tab.general">
            <source>General</source>
            <translation>Allgemein</translation>
        </message>
        <message id="settings.tab.consolidation">
            <source>Consolidation</source>
            <translation>Zusammenfassung</translation>
        </message>
        <message id="settings.tab.markdown">
            <source>Markdown</source>
            <translation>Markdown-Export</translation>
        </message>
        <message id="settings.tab.tools">
            <source>Tools</source>
            <translation>Werkzeuge</translation>
        </message>
        <message id="settings.tab.cache">
            <source>Cache</source>
            <translation>Heruntergeladene Videos</translation>
        </message>
        <message id="settings.folder.choose">
            <source>Choose…</source>
            <translation>Auswählen…</translation>
        </message>
        <message id="settings.folder.reset">
            <source>Use Default</source>
            <translation>Standard verwenden</translation>
        </message>
        <message id="settings.folder.error.not.folder">
            <source>“%1” is not a folder. The setting was not changed.</source>
            <translation>„%1“ ist kein Ordner. Die Einstellung wurde nicht geändert.</translation>
        </message>
        <message id="settings.general.interval.value">
            <source>%1 seconds</source>
            <oldsource>%1 s</oldsource>
            <translation>%1 Sekunden</translation>
        </message>
        <message id="settings.general.language">
            <source>Language:</source>
            <translation>Sprache:</translation>
        </message>
        <message id="settings.general.language.note">
            <source>The interface changes at once; lectures and exports keep their own language.</source>
            <translation>Die Oberfläche wechselt sofort; Vorlesungen und Exporte behalten ihre eigene Sprache.</translation>
        </message>
        <message id="settings.general.spoken">
            <source>Spoken language:</source>
            <translation>Gesprochene Sprache:</translation>
        </message>
        <message id="settings.general.spoken.auto">
            <source>Detect automatically</source>
            <translation>Automatisch erkennen</translation>
        </message>
        <message id="settings.general.spoken.note">
            <source>The language the lectures are given in, for transcription. Detected automatically, the model listens to the first half minute. English-only models always write English.</source>
            <translation>Die Sprache, in der die Vorlesungen gehalten werden, für die Transkription. Bei automatischer Erkennung hört das Modell die erste halbe Minute an. Rein englische Modelle schreiben immer Englisch.</translation>
        </message>
        <message id="settings.general.logo">
            <source>Logo artwork:</source>
            <oldsource>Logo:</oldsource>
            <translation>Logo-Motiv:</translation>
        </message>
        <message id="settings.general.logo.automatic">
            <source>Seasonal (automatic)</source>
            <translation>Nach Jahreszeit (automatisch)</translation>
        </message>
        <message id="settings.general.logo.standard">
            <source>Standard</source>
            <translation>Klassisch</translation>
        </message>
        <message id="settings.general.logo.autumn">
            <source>Autumn</source>
            <translation>Herbst</translation>
        </message>
        <message id="settings.general.logo.christmas">
            <source>Christmas</source>
            <translation>Weihnachten</translation>
        </message>
        <message id="settings.general.interval">
            <source>Screenshot interval:</source>
            <translation>Screenshot-Abstand:</translation>
        </message>
        <message id="settings.general.interval.tooltip">
            <source>The longest stretch of a lecture without a screenshot.</source>
            <translation>Der längste Abschnitt einer Vorlesung ohne Screenshot.</translation>
        </message>
        <message id="settings.general.export.folder">
            <source>Export folder:</source>
            <translation>Exportordner:</translation>
        </message>
        <message id="settings.general.export.folder.chooser">
            <source>Choose the Export Folder</source>
            <translation>Exportordner auswählen</translation>
        </message>
        <message id="settings.general.sync.folder">
            <source>Sync folder:</source>
            <translation>Synchronisierter Ordner:</translation>
        </message>
        <message id="settings.general.sync.folder.none">
            <source>None: the library stays on this computer</source>
            <translation>Keiner: die Bibliothek bleibt auf diesem Rechner</translation>
        </message>
        <message id="settings.general.sync.folder.chooser">
            <source>Choose the Sync Folder</source>
            <translation>Synchronisierten Ordner auswählen</translation>
        </message>
        <message id="settings.general.sync.folder.note">
            <source>A folder that your sync client (Nextcloud, Syncthing, Dropbox…) keeps in step between your computers. Lumenote keeps its library and exports in its “Lumenote” subfolder. A change takes effect the next time Lumenote starts.</source>
            <translation>Ein Ordner, den Ihr Synchronisationsprogramm (Nextcloud, Syncthing, Dropbox …) zwischen Ihren Rechnern abgleicht. Lumenote legt Bibliothek und Exporte im Unterordner „Lumenote“ ab. Die Änderung wirkt beim nächsten Start von Lumenote.</translation>
        </message>
        <message id="settings.general.sync.never">
            <source>never</source>
            <translation>nie</translation>
        </message>
        <message id="settings.general.sync.status">
            <source>Last sent: %1 (%2 records) · last received: %3 (%4 records) · waiting: %5 · conflicts resolved: %6</source>
            <translation>Zuletzt gesendet: %1 (%2 Einträge) · zuletzt empfangen: %3 (%4 Einträge) · wartend: %5 · Konflikte gelöst: %6</translation>
        </message>
        <message id="settings.markdown.description">
            <source>Besides the HTML study document, each export can write a Markdown file with the notes, the transcript and the screenshots, ready for a notes vault such as Obsidian.</source>
            <translation>Zusätzlich zum HTML-Lerndokument kann jeder Export eine Markdown-Datei mit Notizen, Transkript und Screenshots schreiben, bereit für eine Notizsammlung wie Obsidian.</translation>
        </message>
        <message id="settings.markdown.enabled">
            <source>Write a Markdown file with every export</source>
            <translation>Bei jedem Export eine Markdown-Datei schreiben</translation>
        </message>
        <message id="settings.markdown.obsidian">
            <source>Use Obsidian embeds for images</source>
            <translation>Obsidian-Einbettungen für Bilder verwenden</translation>
        </message>
        <message id="settings.markdown.obsidian.example.on">
            <source>Images are written as ![[images/file.jpg]]</source>
            <translation>Bilder werden als ![[images/file.jpg]] geschrieben</translation>
        </message>
        <message id="settings.markdown.obsidian.example.off">
            <source>Images are written as ![](images/file.jpg)</source>
            <translation>Bilder werden als ![](images/file.jpg) geschrieben</translation>
        </message>
        <message id="settings.markdown.folder">
            <source>Markdown folder:</source>
            <translation>Markdown-Ordner:</translation>
        </message>
        <message id="settings.markdown.folder.default">
            <source>Same folder as the HTML export</source>
            <translation>Derselbe Ordner wie der HTML-Export</translation>
        </message>
        <message id="settings.markdown.folder.chooser">
            <source>Choose the Markdown Folder</source>
            <translation>Markdown-Ordner auswählen</translation>
        </message>
        <message id="settings.markdown.folder.note">
            <source>In a folder of your own, each lecture gets a subfolder named after its date and title, with a copy of its images.</source>
            <translation>In einem eigenen Ordner erhält jede Vorlesung einen Unterordner mit Datum und Titel, samt einer Kopie ihrer Bilder.</translation>
        </message>
        <message id="settings.consolidation.claude.fetching">
            <source>Loading the models of your account…</source>
            <translation>Modelle Ihres Kontos werden geladen …</translation>
        </message>
        <message id="settings.consolidation.claude.fetched">
            <source>%1 models available to your account.</source>
            <translation>%1 Modelle für Ihr Konto verfügbar.</translation>
        </message>
        <message id="settings.consolidation.claude.builtin">
            <source>Built-in list. Save an API key to see the models of your account.</source>
            <translation>Eingebaute Liste. Speichern Sie einen API-Schlüssel, um die Modelle Ihres Kontos zu sehen.</translation>
        </message>
        <message id="settings.consolidation.ollama.fetching">
            <source>Looking for installed models…</source>
            <translation>Installierte Modelle werden gesucht …</translation>
        </message>
        <message id="settings.consolidation.ollama.fetched">
            <source>%1 models installed on this server.</source>
            <translation>%1 Modelle auf diesem Server installiert.</translation>
        </message>
        <message id="settings.consolidation.key.file">
            <source>No Secret Service is running, so the key is kept in %1, readable only by you.</source>
            <translation>Es läuft kein Secret Service, daher liegt der Schlüssel in %1 und ist nur für Sie lesbar.</translation>
        </message>
        <message id="settings.consolidation.key.keyring">
            <source>The key is kept in your desktop's keyring (Secret Service).</source>
            <translation>Der Schlüssel liegt im Schlüsselbund Ihres Desktops (Secret Service).</translation>
        </message>
        <message id="settings.consolidation.enabled">
            <source>Consolidate new lectures into study notes</source>
            <translation>Neue Vorlesungen zu Lernnotizen zusammenfassen</translation>
        </message>
        <message id="settings.consolidation.provider">
            <source>Provider:</source>
            <translation>Anbieter:</translation>
        </message>
        <message id="settings.consolidation.claude.title">
            <source>Claude (Anthropic)</source>
            <translation>Claude (von Anthropic)</translation>
        </message>
        <message id="settings.consolidation.key">
            <source>API key:</source>
            <translation>API-Schlüssel:</translation>
        </message>
        <message id="settings.consolidation.key.placeholder">
            <source>Paste your Anthropic API key</source>
            <translation>Anthropic-API-Schlüssel einfügen</translation>
        </message>
        <message id="settings.consolidation.key.save">
            <source>Save</source>
            <translation>Speichern</translation>
        </message>
        <message id="settings.consolidation.key.remove">
            <source>Remove</source>
            <translation>Entfernen</translation>
        </message>
        <message id="settings.consolidation.model">
            <source>Model:</source>
            <translation>Modell:</translation>
        </message>
        <message id="settings.consolidation.refresh">
            <source>Refresh</source>
            <translation>Aktualisieren</translation>
        </message>
        <message id="settings.consolidation.ollama.title">
            <source>Ollama (on your own computer or network)</source>
            <translation>Ollama (auf Ihrem Rechner oder in Ihrem Netzwerk)</translation>
        </message>
        <message id="settings.consolidation.ollama.endpoint">
            <source>Server address:</source>
            <translation>Serveradresse:</translation>
        </message>
        <message id="settings.consolidation.ollama.model.manual">
            <source>(type manually or tap Refresh)</source>
            <translation>(von Hand eingeben oder auf Aktualisieren klicken)</translation>
        </message>
        <message id="settings.consolidation.ollama.model.placeholder">
            <source>Select a model…</source>
            <translation>Modell auswählen …</translation>
        </message>
        <message id="settings.consolidation.prompt">
            <source>Instructions given to the model:</source>
            <translation>Anweisungen an das Modell:</translation>
        </message>
        <message id="settings.consolidation.prompt.reset">
            <source>Reset to Default</source>
            <translation>Zurücksetzen</translation>
        </message>
        <message id="settings.tools.status.current">
            <source>Up to date (version %1)</source>
            <translation>Aktuell (Version %1)</translation>
        </message>
        <message id="settings.tools.status.available">
            <source>Version %1 is available (installed: %2)</source>
            <translation>Version %1 ist verfügbar (installiert: %2)</translation>
        </message>
        <message id="settings.tools.status.checking">
            <source>Checking for a newer version…</source>
            <translation>Suche nach einer neueren Version …</translation>
        </message>
        <message id="settings.tools.status.updating">
            <source>Downloading… %1%</source>
            <translation>Wird heruntergeladen … %1 %</translation>
        </message>
        <message id="settings.tools.status.failed">
            <source>The check failed. Check your connection and try again.</source>
            <translation>Die Prüfung ist fehlgeschlagen. Prüfen Sie Ihre Verbindung und versuchen Sie es erneut.</translation>
        </message>
        <message id="settings.tools.status.known">
            <source>Version %1 (not checked in this session)</source>
            <translation>Version %1 (in dieser Sitzung nicht geprüft)</translation>
        </message>
        <message id="settings.tools.status.unknown">
            <source>Not checked yet</source>
            <translation>Noch nicht geprüft</translation>
        </message>
        <message id="settings.tools.last.check.never">
            <source>Never checked</source>
            <translation>Nie geprüft</translation>
        </message>
        <message id="settings.tools.last.check">
            <source>Last checked: %1</source>
            <translation>Zuletzt geprüft: %1</translation>
        </message>
        <message id="settings.tools.ytdlp.missing">
            <source>Not found. Install yt-dlp with your package manager to import from web addresses.</source>
            <translation>Nicht gefunden. Installieren Sie yt-dlp mit Ihrer Paketverwaltung, um von Webadressen zu importieren.</translation>
        </message>
        <message id="settings.tools.ffmpeg.missing">
            <source>Not found. Lumenote needs ffmpeg for web videos and for videos it must convert.</source>
            <translation>Nicht gefunden. Lumenote braucht ffmpeg für Webvideos und für Videos, die es umwandeln muss.</translation>
        </message>
        <message id="settings.tools.update">
            <source>Update</source>
            <translation>Aktualisieren</translation>
        </message>
        <message id="settings.tools.install">
            <source>Install</source>
            <translation>Installieren</translation>
        </message>
        <message id="settings.tools.models.stop">
            <source>Stop Download</source>
            <translation>Download abbrechen</translation>
        </message>
        <message id="settings.tools.models.update">
            <source>Download Update</source>
            <translation>Aktualisierung laden</translation>
        </message>
        <message id="settings.tools.models.download">
            <source>Download</source>
            <translation>Herunterladen</translation>
        </message>
        <message id="settings.tools.models.error">
            <source>The last download failed: %1</source>
            <translation>Der letzte Download ist fehlgeschlagen: %1</translation>
        </message>
        <message id="settings.tools.models.checking">
            <source>Checking the model repository for newer revisions…</source>
            <translation>Suche nach neueren Revisionen im Modellarchiv …</translation>
        </message>
        <message id="settings.tools.models.delete.title">
            <source>Delete the %1 model?</source>
            <translation>Modell %1 löschen?</translation>
        </message>
        <message id="settings.tools.models.delete.text">
            <source>The %1 model is removed from this computer. You can download it again at any time.</source>
            <translation>Das Modell %1 wird von diesem Rechner entfernt. Sie können es jederzeit erneut herunterladen.</translation>
        </message>
        <message id="settings.tools.models.delete">
            <source>Delete</source>
            <translation>Löschen</translation>
        </message>
        <message id="settings.cancel">
            <source>Cancel</source>
            <translation>Abbrechen</translation>
        </message>
        <message id="settings.tools.check">
            <source>Check Now</source>
            <translation>Jetzt prüfen</translation>
        </message>
        <message id="settings.tools.models.title">
            <source>Speech models</source>
            <translation>Spracherkennungsmodelle</translation>
        </message>
        <message id="settings.tools.models.description">
            <source>Transcription runs on this computer with the checked model. Larger models are more accurate but slower.</source>
            <translation>Die Transkription läuft auf diesem Rechner mit dem angehakten Modell. Größere Modelle sind genauer, aber langsamer.</translation>
        </message>
        <message id="settings.tools.models.use">
            <source>Use This Model</source>
            <translation>Dieses Modell verwenden</translation>
        </message>
        <message id="settings.tools.models.delete.button">
            <source>Delete…</source>
            <translation>Löschen …</translation>
        </message>
        <message id="settings.tools.models.check">
            <source>Check for Updates</source>
            <translation>Nach Aktualisierungen suchen</translation>
        </message>
        <message id="settings.tools.models.note.fastest">
            <source>Fastest</source>
            <translation>Am schnellsten</translation>
        </message>
        <message id="settings.tools.models.note.balance">
            <source>Good balance</source>
            <translation>Gute Balance</translation>
        </message>
        <message id="settings.tools.models.note.recommended">
            <source>Recommended</source>
            <translation>Empfohlen</translation>
        </message>
        <message id="settings.tools.models.note.high">
            <source>High accuracy</source>
            <translation>Hohe Genauigkeit</translation>
        </message>
        <message id="settings.tools.models.note.best">
            <source>Best accuracy</source>
            <translation>Beste Genauigkeit</translation>
        </message>
        <message id="settings.tools.models.state.downloading">
            <source>Downloading… %1%</source>
            <translation>Wird geladen … %1 %</translation>
        </message>
        <message id="settings.tools.models.state.absent">
            <source>Not downloaded</source>
            <translation>Nicht geladen</translation>
        </message>
        <message id="settings.tools.models.state.checking">
            <source>Checking…</source>
            <translation>Wird geprüft …</translation>
        </message>
        <message id="settings.tools.models.state.available">
            <source>Update available</source>
            <translation>Aktualisierung verfügbar</translation>
        </message>
        <message id="settings.tools.models.state.failed">
            <source>Downloaded (check failed)</source>
            <translation>Geladen (Prüfung fehlgeschlagen)</translation>
        </message>
        <message id="settings.tools.models.state.current">
            <source>Up to date</source>
            <translation>Aktuell</translation>
        </message>
        <message id="settings.tools.models.state.downloaded">
            <source>Downloaded</source>
            <translation>Geladen</translation>
        </message>
        <message id="settings.tools.models.column.name">
            <source>Model</source>
            <translation>Modell</translation>
        </message>
        <message id="settings.tools.models.column.size">
            <source>Download</source>
            <translation>Downloadgröße</translation>
        </message>
        <message id="settings.tools.models.column.note">
            <source>Best for</source>
            <translation>Geeignet für</translation>
        </message>
        <message id="settings.tools.models.column.state">
            <source>State</source>
            <translation>Zustand</translation>
        </message>
        <message id="settings.cache.in.use">
            <source>In use</source>
            <translation>In Verwendung</translation>
        </message>
        <message id="settings.cache.incomplete">
            <source>Incomplete download</source>
            <translation>Unvollständiger Download</translation>
        </message>
        <message id="settings.cache.column.name">
            <source>Video name</source>
            <oldsource>Video</oldsource>
            <translation>Videoname</translation>
        </message>
        <message id="settings.cache.column.size">
            <source>Size</source>
            <translation>Größe</translation>
        </message>
        <message id="settings.cache.column.label">
            <source>Status</source>
            <translation>Zustand</translation>
        </message>
        <message id="settings.cache.total">
            <source>%1 videos, %2 in total</source>
            <translation>%1 Videos, insgesamt %2</translation>
        </message>
        <message id="settings.cache.delete.failed">
            <source>“%1” could not be deleted.</source>
            <translation>„%1“ konnte nicht gelöscht werden.</translation>
        </message>
        <message id="settings.cache.remove.all.confirm">
            <source>Lectures that used these videos will need to be re-downloaded before they can be reprocessed.</source>
            <translation>Vorlesungen, die diese Videos verwendet haben, müssen sie erneut herunterladen, bevor sie wieder verarbeitet werden können.</translation>
        </message>
        <message id="settings.cache.remove.all.in.use.one">
            <source>%1 file is still used by library items and will not be removed.</source>
            <translation>%1 Datei wird noch von der Bibliothek verwendet und nicht entfernt.</translation>
        </message>
        <message id="settings.cache.remove.all.in.use.many">
            <source>%1 files are still used by library items and will not be removed.</source>
            <translation>%1 Dateien werden noch von der Bibliothek verwendet und nicht entfernt.</translation>
        </message>
        <message id="settings.cache.remove.all">
            <source>Remove All Unused Videos</source>
            <translation>Alle ungenutzten Videos entfernen</translation>
        </message>
        <message id="settings.cache.title">
            <source>Downloaded Videos</source>
            <translation>Heruntergeladene Videos</translation>
        </message>
        <message id="settings.cache.description">
            <source>Videos downloaded from web addresses stay here so that lectures can be processed again. Videos that a lecture still uses are protected.</source>
            <translation>Von Webadressen heruntergeladene Videos bleiben hier, damit Vorlesungen erneut verarbeitet werden können. Videos, die eine Vorlesung noch verwendet, sind geschützt.</translation>
        </message>
        <message id="settings.cache.calculating">
            <source>Calculating sizes…</source>
            <translation>Größen werden berechnet …</translation>
        </message>
        <message id="settings.cache.empty.title">
            <source>No downloaded videos</source>
            <translation>Keine heruntergeladenen Videos</translation>
        </message>
        <message id="settings.cache.empty.detail">
            <source>Videos you import from a web address appear here.</source>
            <translation>Hier erscheinen Videos, die Sie von einer Webadresse importieren.</translation>
        </message>
        <message id="settings.cache.protected.legend">
            <source>Videos marked “In use” belong to lectures in your library and cannot be deleted here.</source>
            <translation>Mit „In Verwendung“ markierte Videos gehören zu Vorlesungen Ihrer Bibliothek und können hier nicht gelöscht werden.</translation>
        </message>
        <message id="settings.cache.delete">
            <source>Delete</source>
            <translation>Löschen</translation>
        </message>
        <message id="settings.consolidation.error.ollama.address">
            <source>The Ollama server address is not valid.</source>
            <translation>Die Adresse des Ollama-Servers ist ungültig.</translation>
        </message>
        <message id="settings.consolidation.error.ollama.response">
            <source>Ollama answered with something unexpected.</source>
            <translation>Ollama hat unerwartet geantwortet.</translation>
        </message>
        <message id="settings.consolidation.error.ollama.empty">
            <source>Ollama is running but has no models installed.</source>
            <translation>Ollama läuft, hat aber keine Modelle installiert.</translation>
        </message>
        <message id="settings.consolidation.error.ollama.unreachable">
            <source>Could not reach Ollama at %1. Is it running?</source>
            <translation>Ollama unter %1 ist nicht erreichbar. Läuft es?</translation>
        </message>
        <message id="settings.consolidation.error.claude.silent">
            <source>Anthropic did not answer.</source>
            <translation>Anthropic hat nicht geantwortet.</translation>
        </message>
        <message id="settings.consolidation.error.claude.response">
            <source>Anthropic answered with something unexpected.</source>
            <translation>Anthropic hat unerwartet geantwortet.</translation>
        </message>
        <message id="settings.consolidation.error.claude.empty">
            <source>The API returned no models.</source>
            <translation>Die API hat keine Modelle geliefert.</translation>
        </message>
        <message id="settings.consolidation.error.claude.unreachable">
            <source>Could not reach the Anthropic API: %1</source>
            <translation>Die Anthropic-API ist nicht erreichbar: %1</translation>
        </message>
        <message id="settings.consolidation.error.claude.status">
            <source>The Anthropic API answered %1</source>
            <translation>Die Anthropic-API hat mit %1 geantwortet</translation>
        </message>
    </context>
</TS>
