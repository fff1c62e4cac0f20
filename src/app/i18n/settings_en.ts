<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
    <context>
        <name />
        <message id="settings.window.title">
            <source>Settings</source>
            <translation>Settings</translation>
        </message>
        <message id="settings.tab.general">
            <source>General</source>
            <translation>General</translation>
        </message>
        <message id="settings.tab.consolidation">
            <source>Consolidation</source>
            <translation>Consolidation</translation>
        </message>
        <message id="settings.tab.markdown">
            <source>Markdown</source>
            <translation>Markdown</translation>
        </message>
        <message id="settings.tab.tools">
            <source>Tools</source>
            <translation>Tools</translation>
        </message>
        <message id="settings.tab.cache">
            <source>Cache</source>
            <translation>Cache</translation>
        </message>
        <message id="settings.folder.choose">
            <source>Choose…</source>
            <translation>Choose…</translation>
        </message>
        <message id="settings.folder.reset">
            <source>Use Default</source>
            <translation>Use Default</translation>
        </message>
        <message id="settings.folder.error.not.folder">
            <source>“%1” is not a folder. The setting was not changed.</source>
            <translation>“%1” is not a folder. The setting was not changed.</translation>
        </message>
        <message id="settings.general.interval.value">
            <source>%1 seconds</source>
            <oldsource>%1 s</oldsource>
            <translation>%1 seconds</translation>
        </message>
        <message id="settings.general.language">
            <source>Language:</source>
            <translation>Language:</translation>
        </message>
        <message id="settings.general.language.note">
            <source>The interface changes at once; lectures and exports keep their own language.</source>
            <translation>The interface changes at once; lectures and exports keep their own language.</translation>
        </message>
        <message id="settings.general.spoken">
            <source>Spoken language:</source>
            <translation>Spoken language:</translation>
        </message>
        <message id="settings.general.spoken.auto">
            <source>Detect automatically</source>
            <translation>Detect automatically</translation>
        </message>
        <message id="settings.general.spoken.note">
            <source>The language the lectures are given in, for transcription. Detected automatically, the model listens to the first half minute. English-only models always write English.</source>
            <translation>The language the lectures are given in, for transcription. Detected automatically, the model listens to the first half minute. English-only models always write English.</translation>
        </message>
        <message id="settings.general.logo">
            <source>Logo artwork:</source>
            <oldsource>Logo:</oldsource>
            <translation>Logo artwork:</translation>
        </message>
        <message id="settings.general.logo.automatic">
            <source>Seasonal (automatic)</source>
            <translation>Seasonal (automatic)</translation>
        </message>
        <message id="settings.general.logo.standard">
            <source>Standard</source>
            <translation>Standard</translation>
        </message>
        <message id="settings.general.logo.autumn">
            <source>Autumn</source>
            <translation>Autumn</translation>
        </message>
        <message id="settings.general.logo.christmas">
            <source>Christmas</source>
            <translation>Christmas</translation>
        </message>
        <message id="settings.general.interval">
            <source>Screenshot interval:</source>
            <translation>Screenshot interval:</translation>
        </message>
        <message id="settings.general.interval.tooltip">
            <source>The longest stretch of a lecture without a screenshot.</source>
            <translation>The longest stretch of a lecture without a screenshot.</translation>
        </message>
        <message id="settings.general.export.folder">
            <source>Export folder:</source>
            <translation>Export folder:</translation>
        </message>
        <message id="settings.general.export.folder.chooser">
            <source>Choose the Export Folder</source>
            <translation>Choose the Export Folder</translation>
        </message>
        <message id="settings.general.sync.folder">
            <source>Sync folder:</source>
            <translation>Sync folder:</translation>
        </message>
        <message id="settings.general.sync.folder.none">
            <source>None: the library stays on this computer</source>
            <translation>None: the library stays on this computer</translation>
        </message>
        <message id="settings.general.sync.folder.chooser">
            <source>Choose the Sync Folder</source>
            <translation>Choose the Sync Folder</translation>
        </message>
        <message id="settings.general.sync.folder.note">
            <source>A folder that your sync client (Nextcloud, Syncthing, Dropbox…) keeps in step between your computers. Lumenote keeps its library and exports in its “Lumenote” subfolder. A change takes effect the next time Lumenote starts.</source>
            <translation>A folder that your sync client (Nextcloud, Syncthing, Dropbox…) keeps in step between your computers. Lumenote keeps its library and exports in its “Lumenote” subfolder. A change takes effect the next time Lumenote starts.</translation>
        </message>
        <message id="settings.general.sync.never">
            <source>never</source>
            <translation>never</translation>
        </message>
        <message id="settings.general.sync.status">
            <source>Last sent: %1 (%2 records) · last received: %3 (%4 records) · waiting: %5 · conflicts resolved: %6</source>
            <translation>Last sent: %1 (%2 records) · last received: %3 (%4 records) · waiting: %5 · conflicts resolved: %6</translation>
        </message>
        <message id="settings.markdown.description">
            <source>Besides the HTML study document, each export can write a Markdown file with the notes, the transcript and the screenshots, ready for a notes vault such as Obsidian.</source>
            <translation>Besides the HTML study document, each export can write a Markdown file with the notes, the transcript and the screenshots, ready for a notes vault such as Obsidian.</translation>
        </message>
        <message id="settings.markdown.enabled">
            <source>Write a Markdown file with every export</source>
            <translation>Write a Markdown file with every export</translation>
        </message>
        <message id="settings.markdown.obsidian">
            <source>Use Obsidian embeds for images</source>
            <translation>Use Obsidian embeds for images</translation>
        </message>
        <message id="settings.markdown.obsidian.example.on">
            <source>Images are written as ![[images/file.jpg]]</source>
            <translation>Images are written as ![[images/file.jpg]]</translation>
        </message>
        <message id="settings.markdown.obsidian.example.off">
            <source>Images are written as ![](images/file.jpg)</source>
            <translation>Images are written as ![](images/file.jpg)</translation>
        </message>
        <message id="settings.markdown.folder">
            <source>Markdown folder:</source>
            <translation>Markdown folder:</translation>
        </message>
        <message id="settings.markdown.folder.default">
            <source>Same folder as the HTML export</source>
            <translation>Same folder as the HTML export</translation>
        </message>
        <message id="settings.markdown.folder.chooser">
            <source>Choose the Markdown Folder</source>
            <translation>Choose the Markdown Folder</translation>
        </message>
        <message id="settings.markdown.folder.note">
            <source>In a folder of your own, each lecture gets a subfolder named after its date and title, with a copy of its images.</source>
            <translation>In a folder of your own, each lecture gets a subfolder named after its date and title, with a copy of its images.</translation>
        </message>
        <message id="settings.consolidation.claude.fetching">
            <source>Loading the models of your account…</source>
            <translation>Loading the models of your account…</translation>
        </message>
        <message id="settings.consolidation.claude.fetched">
            <source>%1 models available to your account.</source>
            <translation>%1 models available to your account.</translation>
        </message>
        <message id="settings.consolidation.claude.builtin">
            <source>Built-in list. Save an API key to see the models of your account.</source>
            <translation>Built-in list. Save an API key to see the models of your account.</translation>
        </message>
        <message id="settings.consolidation.ollama.fetching">
            <source>Looking for installed models…</source>
            <translation>Looking for installed models…</translation>
        </message>
        <message id="settings.consolidation.ollama.fetched">
            <source>%1 models installed on this server.</source>
            <translation>%1 models installed on this server.</translation>
        </message>
        <message id="settings.consolidation.key.file">
            <source>No Secret Service is running, so the key is kept in %1, readable only by you.</source>
            <translation>No Secret Service is running, so the key is kept in %1, readable only by you.</translation>
        </message>
        <message id="settings.consolidation.key.keyring">
            <source>The key is kept in your desktop's keyring (Secret Service).</source>
            <translation>The key is kept in your desktop's keyring (Secret Service).</translation>
        </message>
        <message id="settings.consolidation.enabled">
            <source>Consolidate new lectures into study notes</source>
            <translation>Consolidate new lectures into study notes</translation>
        </message>
        <message id="settings.consolidation.provider">
            <source>Provider:</source>
            <translation>Provider:</translation>
        </message>
        <message id="settings.consolidation.claude.title">
            <source>Claude (Anthropic)</source>
            <translation>Claude (Anthropic)</translation>
        </message>
        <message id="settings.consolidation.key">
            <source>API key:</source>
            <translation>API key:</translation>
        </message>
        <message id="settings.consolidation.key.placeholder">
            <source>Paste your Anthropic API key</source>
            <translation>Paste your Anthropic API key</translation>
        </message>
        <message id="settings.consolidation.key.save">
            <source>Save</source>
            <translation>Save</translation>
        </message>
        <message id="settings.consolidation.key.remove">
            <source>Remove</source>
            <translation>Remove</translation>
        </message>
        <message id="settings.consolidation.model">
            <source>Model:</source>
            <translation>Model:</translation>
        </message>
        <message id="settings.consolidation.refresh">
            <source>Refresh</source>
            <translation>Refresh</translation>
        </message>
        <message id="settings.consolidation.ollama.title">
            <source>Ollama (on your own computer or network)</source>
            <translation>Ollama (on your own computer or network)</translation>
        </message>
        <message id="settings.consolidation.ollama.endpoint">
            <source>Server address:</source>
            <translation>Server address:</translation>
        </message>
        <message id="settings.consolidation.ollama.model.manual">
            <source>(type manually or tap Refresh)</source>
            <translation>(type manually or tap Refresh)</translation>
        </message>
        <message id="settings.consolidation.ollama.model.placeholder">
            <source>Select a model…</source>
            <translation>Select a model…</translation>
        </message>
        <message id="settings.consolidation.prompt">
            <source>Instructions given to the model:</source>
            <translation>Instructions given to the model:</translation>
        </message>
        <message id="settings.consolidation.prompt.reset">
            <source>Reset to Default</source>
            <translation>Reset to Default</translation>
        </message>
        <message id="settings.tools.status.current">
            <source>Up to date (version %1)</source>
            <translation>Up to date (version %1)</translation>
        </message>
        <message id="settings.tools.status.available">
            <source>Version %1 is available (installed: %2)</source>
            <translation>Version %1 is available (installed: %2)</translation>
        </message>
        <message id="settings.tools.status.checking">
            <source>Checking for a newer version…</source>
            <translation>Checking for a newer version…</translation>
        </message>
        <message id="settings.tools.status.updating">
            <source>Downloading… %1%</source>
            <translation>Downloading… %1%</translation>
        </message>
        <message id="settings.tools.status.failed">
            <source>The check failed. Check your connection and try again.</source>
            <translation>The check failed. Check your connection and try again.</translation>
        </message>
        <message id="settings.tools.status.known">
            <source>Version %1 (not checked in this session)</source>
            <translation>Version %1 (not checked in this session)</translation>
        </message>
        <message id="settings.tools.status.unknown">
            <source>Not checked yet</source>
            <translation>Not checked yet</translation>
        </message>
        <message id="settings.tools.last.check.never">
            <source>Never checked</source>
            <translation>Never checked</translation>
        </message>
        <message id="settings.tools.last.check">
            <source>Last checked: %1</source>
            <translation>Last checked: %1</translation>
        </message>
        <message id="settings.tools.ytdlp.missing">
            <source>Not found. Install yt-dlp with your package manager to import from web addresses.</source>
            <translation>Not found. Install yt-dlp with your package manager to import from web addresses.</translation>
        </message>
        <message id="settings.tools.ffmpeg.missing">
            <source>Not found. Lumenote needs ffmpeg for web videos and for videos it must convert.</source>
            <translation>Not found. Lumenote needs ffmpeg for web videos and for videos it must convert.</translation>
        </message>
        <message id="settings.tools.update">
            <source>Update</source>
            <translation>Update</translation>
        </message>
        <message id="settings.tools.install">
            <source>Install</source>
            <translation>Install</translation>
        </message>
        <message id="settings.tools.models.stop">
            <source>Stop Download</source>
            <translation>Stop Download</translation>
        </message>
        <message id="settings.tools.models.update">
            <source>Download Update</source>
            <translation>Download Update</translation>
        </message>
        <message id="settings.tools.models.download">
            <source>Download</source>
            <translation>Download</translation>
        </message>
        <message id="settings.tools.models.error">
            <source>The last download failed: %1</source>
            <translation>The last download failed: %1</translation>
        </message>
        <message id="settings.tools.models.checking">
            <source>Checking the model repository for newer revisions…</source>
            <translation>Checking the model repository for newer revisions…</translation>
        </message>
        <message id="settings.tools.models.delete.title">
            <source>Delete the %1 model?</source>
            <translation>Delete the %1 model?</translation>
        </message>
        <message id="settings.tools.models.delete.text">
            <source>The %1 model is removed from this computer. You can download it again at any time.</source>
            <translation>The %1 model is removed from this computer. You can download it again at any time.</translation>
        </message>
        <message id="settings.tools.models.delete">
            <source>Delete</source>
            <translation>Delete</translation>
        </message>
        <message id="settings.cancel">
            <source>Cancel</source>
            <translation>Cancel</translation>
        </message>
        <message id="settings.tools.check">
            <source>Check Now</source>
            <translation>Check Now</translation>
        </message>
        <message id="settings.tools.models.title">
            <source>Speech models</source>
            <translation>Speech models</translation>
        </message>
        <message id="settings.tools.models.description">
            <source>Transcription runs on this computer with the checked model. Larger models are more accurate but slower.</source>
            <translation>Transcription runs on this computer with the checked model. Larger models are more accurate but slower.</translation>
        </message>
        <message id="settings.tools.models.use">
            <source>Use This Model</source>
            <translation>Use This Model</translation>
        </message>
        <message id="settings.tools.models.delete.button">
            <source>Delete…</source>
            <translation>Delete…</translation>
        </message>
        <message id="settings.tools.models.check">
            <source>Check for Updates</source>
            <translation>Check for Updates</translation>
        </message>
        <message id="settings.tools.models.note.fastest">
            <source>Fastest</source>
            <translation>Fastest</translation>
        </message>
        <message id="settings.tools.models.note.balance">
            <source>Good balance</source>
            <translation>Good balance</translation>
        </message>
        <message id="settings.tools.models.note.recommended">
            <source>Recommended</source>
            <translation>Recommended</translation>
        </message>
        <message id="settings.tools.models.note.high">
            <source>High accuracy</source>
            <translation>High accuracy</translation>
        </message>
        <message id="settings.tools.models.note.best">
            <source>Best accuracy</source>
            <translation>Best accuracy</translation>
        </message>
        <message id="settings.tools.models.state.downloading">
            <source>Downloading… %1%</source>
            <translation>Downloading… %1%</translation>
        </message>
        <message id="settings.tools.models.state.absent">
            <source>Not downloaded</source>
            <translation>Not downloaded</translation>
        </message>
        <message id="settings.tools.models.state.checking">
            <source>Checking…</source>
            <translation>Checking…</translation>
        </message>
        <message id="settings.tools.models.state.available">
            <source>Update available</source>
            <translation>Update available</translation>
        </message>
        <message id="settings.tools.models.state.failed">
            <source>Downloaded (check failed)</source>
            <translation>Downloaded (check failed)</translation>
        </message>
        <message id="settings.tools.models.state.current">
            <source>Up to date</source>
            <translation>Up to date</translation>
        </message>
        <message id="settings.tools.models.state.downloaded">
            <source>Downloaded</source>
            <translation>Downloaded</translation>
        </message>
        <message id="settings.tools.models.column.name">
            <source>Model</source>
            <translation>Model</translation>
        </message>
        <message id="settings.tools.models.column.size">
            <source>Download</source>
            <translation>Download</translation>
        </message>
        <message id="settings.tools.models.column.note">
            <source>Best for</source>
            <translation>Best for</translation>
        </message>
        <message id="settings.tools.models.column.state">
            <source>State</source>
            <translation>State</translation>
        </message>
        <message id="settings.cache.in.use">
            <source>In use</source>
            <translation>In use</translation>
        </message>
        <message id="settings.cache.incomplete">
            <source>Incomplete download</source>
            <translation>Incomplete download</translation>
        </message>
        <message id="settings.cache.column.name">
            <source>Video name</source>
            <oldsource>Video</oldsource>
            <translation>Video name</translation>
        </message>
        <message id="settings.cache.column.size">
            <source>Size</source>
            <translation>Size</translation>
        </message>
        <message id="settings.cache.column.label">
            <source>Status</source>
            <translation>Status</translation>
        </message>
        <message id="settings.cache.total">
            <source>%1 videos, %2 in total</source>
            <translation>%1 videos, %2 in total</translation>
        </message>
        <message id="settings.cache.delete.failed">
            <source>“%1” could not be deleted.</source>
            <translation>“%1” could not be deleted.</translation>
        </message>
        <message id="settings.cache.remove.all.confirm">
            <source>Lectures that used these videos will need to be re-downloaded before they can be reprocessed.</source>
            <translation>Lectures that used these videos will need to be re-downloaded before they can be reprocessed.</translation>
        </message>
        <message id="settings.cache.remove.all.in.use.one">
            <source>%1 file is still used by library items and will not be removed.</source>
            <translation>%1 file is still used by library items and will not be removed.</translation>
        </message>
        <message id="settings.cache.remove.all.in.use.many">
            <source>%1 files are still used by library items and will not be removed.</source>
            <translation>%1 files are still used by library items and will not be removed.</translation>
        </message>
        <message id="settings.cache.remove.all">
            <source>Remove All Unused Videos</source>
            <translation>Remove All Unused Videos</translation>
        </message>
        <message id="settings.cache.title">
            <source>Downloaded Videos</source>
            <translation>Downloaded Videos</translation>
        </message>
        <message id="settings.cache.description">
            <source>Videos downloaded from web addresses stay here so that lectures can be processed again. Videos that a lecture still uses are protected.</source>
            <translation>Videos downloaded from web addresses stay here so that lectures can be processed again. Videos that a lecture still uses are protected.</translation>
        </message>
        <message id="settings.cache.calculating">
            <source>Calculating sizes…</source>
            <translation>Calculating sizes…</translation>
        </message>
        <message id="settings.cache.empty.title">
            <source>No downloaded videos</source>
            <translation>No downloaded videos</translation>
        </message>
        <message id="settings.cache.empty.detail">
            <source>Videos you import from a web address appear here.</source>
            <translation>Videos you import from a web address appear here.</translation>
        </message>
        <message id="settings.cache.protected.legend">
            <source>Videos marked “In use” belong to lectures in your library and cannot be deleted here.</source>
            <translation>Videos marked “In use” belong to lectures in your library and cannot be deleted here.</translation>
        </message>
        <message id="settings.cache.delete">
            <source>Delete</source>
            <translation>Delete</translation>
        </message>
        <message id="settings.consolidation.error.ollama.address">
            <source>The Ollama server address is not valid.</source>
            <translation>The Ollama server address is not valid.</translation>
        </message>
        <message id="settings.consolidation.error.ollama.response">
            <source>Ollama answered with something unexpected.</source>
            <translation>Ollama answered with something unexpected.</translation>
        </message>
        <message id="settings.consolidation.error.ollama.empty">
            <source>Ollama is running but has no models installed.</source>
            <translation>Ollama is running but has no models installed.</translation>
        </message>
        <message id="settings.consolidation.error.ollama.unreachable">
            <source>Could not reach Ollama at %1. Is it running?</source>
            <translation>Could not reach Ollama at %1. Is it running?</translation>
        </message>
        <message id="settings.consolidation.error.claude.silent">
            <source>Anthropic did not answer.</source>
            <translation>Anthropic did not answer.</translation>
        </message>
        <message id="settings.consolidation.error.claude.response">
            <source>Anthropic answered with something unexpected.</source>
            <translation>Anthropic answered with something unexpected.</translation>
        </message>
        <message id="settings.consolidation.error.claude.empty">
            <source>The API returned no models.</source>
            <translation>The API returned no models.</translation>
        </message>
        <message id="settings.consolidation.error.claude.unreachable">
            <source>Could not reach the Anthropic API: %1</source>
            <translation>Could not reach the Anthropic API: %1</translation>
        </message>
        <message id="settings.consolidation.error.claude.status">
            <source>The Anthropic API answered %1</source>
            <translation>The Anthropic API answered %1</translation>
        </message>
    </context>
</TS>
