<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
    <context>
        <name />
        <message id="startup.store.error.title">
            <source>Lumenote cannot open its library.</source>
            <translation>Lumenote cannot open its library.</translation>
        </message>
        <message id="startup.store.error.message">
            <source>The library file is at %1.

%2

The file has not been changed. Move it aside or restore a backup, then start Lumenote again.</source>
            <translation>The library file is at %1.

%2

The file has not been changed. Move it aside or restore a backup, then start Lumenote again.</translation>
        </message>
        <message id="feedback.mail.thanks">
            <source>Thank you for helping to make Lumenote better! Tell us what happened, what you expected, and how to reproduce it if you can.</source>
            <translation>Thank you for helping to make Lumenote better! Tell us what happened, what you expected, and how to reproduce it if you can.</translation>
        </message>
        <message id="feedback.mail.system.note">
            <source>The system information below helps us to find problems; you may delete it.</source>
            <translation>The system information below helps us to find problems; you may delete it.</translation>
        </message>
        <message id="import.duplicate.open.existing">
            <source>Open Existing</source>
            <translation>Open Existing</translation>
        </message>
        <message id="import.duplicate.reprocess">
            <source>Process Again</source>
            <translation>Process Again</translation>
        </message>
        <message id="import.duplicate.redownload.reprocess">
            <source>Download Again and Process</source>
            <translation>Download Again and Process</translation>
        </message>
        <message id="import.duplicate.cancel">
            <source>Cancel</source>
            <translation>Cancel</translation>
        </message>
        <message id="import.title">
            <source>Import Lecture</source>
            <translation>Import Lecture</translation>
        </message>
        <message id="import.tab.file">
            <source>Video File</source>
            <translation>Video File</translation>
        </message>
        <message id="import.tab.url">
            <source>Web Address</source>
            <translation>Web Address</translation>
        </message>
        <message id="import.file.message">
            <source>Choose a lecture video on this computer (MP4, MOV or M4V). It stays where it is; Lumenote keeps a reference to it.</source>
            <translation>Choose a lecture video on this computer (MP4, MOV or M4V). It stays where it is; Lumenote keeps a reference to it.</translation>
        </message>
        <message id="import.file.choose">
            <source>Choose File…</source>
            <translation>Choose File…</translation>
        </message>
        <message id="import.url.no.downloader.label">
            <source>yt-dlp is not installed</source>
            <translation>yt-dlp is not installed</translation>
        </message>
        <message id="import.url.no.downloader.message">
            <source>Downloading from a web address needs yt-dlp. Install it with your package manager (for example “sudo apt install yt-dlp”), then check again.</source>
            <translation>Downloading from a web address needs yt-dlp. Install it with your package manager (for example “sudo apt install yt-dlp”), then check again.</translation>
        </message>
        <message id="import.url.no.downloader.retry">
            <source>Check Again</source>
            <translation>Check Again</translation>
        </message>
        <message id="import.url.label">
            <source>Address of the lecture video</source>
            <translation>Address of the lecture video</translation>
        </message>
        <message id="import.url.placeholder">
            <source>https://www.example.com/lecture</source>
            <translation>https://www.example.com/lecture</translation>
        </message>
        <message id="import.url.stop">
            <source>Stop</source>
            <translation>Stop</translation>
        </message>
        <message id="import.footer.download.import">
            <source>Download and Import</source>
            <translation>Download and Import</translation>
        </message>
        <message id="import.footer.cancel">
            <source>Cancel</source>
            <translation>Cancel</translation>
        </message>
        <message id="import.url.invalid">
            <source>Enter a web address that begins with http:// or https://.</source>
            <translation>Enter a web address that begins with http:// or https://.</translation>
        </message>
        <message id="import.url.preparing">
            <source>Preparing the download…</source>
            <translation>Preparing the download…</translation>
        </message>
        <message id="import.url.stopped">
            <source>The download was stopped.</source>
            <translation>The download was stopped.</translation>
        </message>
        <message id="import.url.failed">
            <source>The download failed.</source>
            <translation>The download failed.</translation>
        </message>
        <message id="import.file.chooser.title">
            <source>Choose a Lecture Video</source>
            <translation>Choose a Lecture Video</translation>
        </message>
        <message id="import.duplicate.title">
            <source>Already in Your Library</source>
            <translation>Already in Your Library</translation>
        </message>
        <message id="import.duplicate.message.url">
            <source>“%1” was already downloaded from this address. Open it, or download it again and process it anew?</source>
            <translation>“%1” was already downloaded from this address. Open it, or download it again and process it anew?</translation>
        </message>
        <message id="import.duplicate.message.file">
            <source>“%1” was already imported from this file. Open it, or process it again?</source>
            <translation>“%1” was already imported from this file. Open it, or process it again?</translation>
        </message>
        <message id="detail.status">
            <source>Status: %1</source>
            <translation>Status: %1</translation>
        </message>
        <message id="detail.source.url">
            <source>Downloaded from %1</source>
            <translation>Downloaded from %1</translation>
        </message>
        <message id="detail.source.file">
            <source>Video file: %1</source>
            <translation>Video file: %1</translation>
        </message>
        <message id="detail.export.path">
            <source>Study page: %1</source>
            <translation>Study page: %1</translation>
        </message>
        <message id="detail.export.none">
            <source>Not exported yet. The study page will be written to %1.</source>
            <translation>Not exported yet. The study page will be written to %1.</translation>
        </message>
        <message id="sidebar.undo.rename.folder">
            <source>Rename Folder</source>
            <translation>Rename Folder</translation>
        </message>
        <message id="sidebar.undo.move.to.folder">
            <source>Move to Folder</source>
            <translation>Move to Folder</translation>
        </message>
        <message id="sidebar.lecture.remove.from.folder">
            <source>Remove from Folder</source>
            <translation>Remove from Folder</translation>
        </message>
        <message id="sidebar.status.pending">
            <source>Pending</source>
            <translation>Pending</translation>
        </message>
        <message id="sidebar.status.missing">
            <source>Export missing</source>
            <translation>Export missing</translation>
        </message>
        <message id="sidebar.status.transcribing">
            <source>Transcribing</source>
            <translation>Transcribing</translation>
        </message>
        <message id="sidebar.status.capturing.screenshots">
            <source>Capturing slides</source>
            <translation>Capturing slides</translation>
        </message>
        <message id="sidebar.status.consolidating">
            <source>Writing notes</source>
            <translation>Writing notes</translation>
        </message>
        <message id="sidebar.status.generating.page">
            <source>Exporting</source>
            <translation>Exporting</translation>
        </message>
        <message id="sidebar.status.complete">
            <source>Ready</source>
            <translation>Ready</translation>
        </message>
        <message id="sidebar.status.failed">
            <source>Failed</source>
            <translation>Failed</translation>
        </message>
        <message id="sidebar.confirm.delete">
            <source>Delete</source>
            <translation>Delete</translation>
        </message>
        <message id="sidebar.title">
            <source>Library</source>
            <translation>Library</translation>
        </message>
        <message id="sidebar.menu.new.folder">
            <source>New Folder</source>
            <translation>New Folder</translation>
        </message>
        <message id="sidebar.filter.placeholder">
            <source>Search lectures</source>
            <translation>Search lectures</translation>
        </message>
        <message id="sidebar.empty.title">
            <source>No lectures yet</source>
            <translation>No lectures yet</translation>
        </message>
        <message id="sidebar.empty.message">
            <source>Import a lecture video to get started.</source>
            <translation>Import a lecture video to get started.</translation>
        </message>
        <message id="sidebar.filter.hits">
            <source>Matches: %1 · Lectures: %2</source>
            <translation>Matches: %1 · Lectures: %2</translation>
        </message>
        <message id="sidebar.filter.no.matches">
            <source>No lecture matches your search.</source>
            <translation>No lecture matches your search.</translation>
        </message>
        <message id="sidebar.stats.summary">
            <source>Lectures: %1 · Duration: %2
Words: %3 · Screenshots: %4</source>
            <translation>Lectures: %1 · Duration: %2
Words: %3 · Screenshots: %4</translation>
        </message>
        <message id="sidebar.lecture.move.to.folder">
            <source>Move to Folder</source>
            <translation>Move to Folder</translation>
        </message>
        <message id="sidebar.lecture.move.no.folders">
            <source>No folders yet</source>
            <translation>No folders yet</translation>
        </message>
        <message id="sidebar.lecture.delete">
            <source>Delete Lecture…</source>
            <translation>Delete Lecture…</translation>
        </message>
        <message id="sidebar.lecture.delete.selected">
            <source>Delete %1 Lectures…</source>
            <translation>Delete %1 Lectures…</translation>
        </message>
        <message id="sidebar.folder.rename">
            <source>Rename Folder</source>
            <translation>Rename Folder</translation>
        </message>
        <message id="sidebar.folder.delete">
            <source>Delete Folder…</source>
            <translation>Delete Folder…</translation>
        </message>
        <message id="sidebar.folder.delete.contents">
            <source>Delete Folder and Its Lectures…</source>
            <translation>Delete Folder and Its Lectures…</translation>
        </message>
        <message id="sidebar.menu.delete.unprocessed">
            <source>Delete Unprocessed Lectures…</source>
            <translation>Delete Unprocessed Lectures…</translation>
        </message>
        <message id="sidebar.menu.delete.all">
            <source>Delete All Lectures…</source>
            <translation>Delete All Lectures…</translation>
        </message>
        <message id="sidebar.folder.new.name">
            <source>New Folder</source>
            <translation>New Folder</translation>
        </message>
        <message id="sidebar.confirm.delete.lecture.title">
            <source>Delete “%1”?</source>
            <translation>Delete “%1”?</translation>
        </message>
        <message id="sidebar.confirm.delete.lecture.message">
            <source>The lecture, its transcript, its screenshots and its exported study page are removed. This cannot be undone.</source>
            <translation>The lecture, its transcript, its screenshots and its exported study page are removed. This cannot be undone.</translation>
        </message>
        <message id="sidebar.confirm.delete.selected.title">
            <source>Delete %1 lectures?</source>
            <translation>Delete %1 lectures?</translation>
        </message>
        <message id="sidebar.confirm.delete.selected.message">
            <source>The selected lectures, their transcripts, screenshots and exported study pages are removed. This cannot be undone.</source>
            <translation>The selected lectures, their transcripts, screenshots and exported study pages are removed. This cannot be undone.</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.contents.title">
            <source>Delete the folder “%1” and its lectures?</source>
            <translation>Delete the folder “%1” and its lectures?</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.contents.message">
            <source>Every lecture in this folder is removed with its transcript, screenshots and exported study page. This cannot be undone.</source>
            <translation>Every lecture in this folder is removed with its transcript, screenshots and exported study page. This cannot be undone.</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.title">
            <source>Delete the folder “%1”?</source>
            <translation>Delete the folder “%1”?</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.message">
            <source>Its lectures are kept and move to the top of the library.</source>
            <translation>Its lectures are kept and move to the top of the library.</translation>
        </message>
        <message id="sidebar.confirm.delete.all.title">
            <source>Delete all lectures?</source>
            <translation>Delete all lectures?</translation>
        </message>
        <message id="sidebar.confirm.delete.all.message">
            <source>All %1 lectures are removed with their transcripts, screenshots and exported study pages. Downloaded videos stay in the cache. This cannot be undone.</source>
            <translation>All %1 lectures are removed with their transcripts, screenshots and exported study pages. Downloaded videos stay in the cache. This cannot be undone.</translation>
        </message>
        <message id="sidebar.confirm.delete.unprocessed.title">
            <source>Delete unprocessed lectures?</source>
            <translation>Delete unprocessed lectures?</translation>
        </message>
        <message id="sidebar.confirm.delete.unprocessed.message">
            <source>%1 lectures that are not complete (pending, failed or with a missing export) are removed. Finished lectures stay.</source>
            <translation>%1 lectures that are not complete (pending, failed or with a missing export) are removed. Finished lectures stay.</translation>
        </message>
        <message id="menu.file">
            <source>&amp;File</source>
            <translation>&amp;File</translation>
        </message>
        <message id="menu.edit">
            <source>&amp;Edit</source>
            <translation>&amp;Edit</translation>
        </message>
        <message id="menu.help">
            <source>&amp;Help</source>
            <translation>&amp;Help</translation>
        </message>
        <message id="menu.file.import">
            <source>&amp;Import Lecture…</source>
            <translation>&amp;Import Lecture…</translation>
        </message>
        <message id="menu.file.new.folder">
            <source>&amp;New Folder</source>
            <translation>&amp;New Folder</translation>
        </message>
        <message id="menu.file.quit">
            <source>&amp;Quit</source>
            <translation>&amp;Quit</translation>
        </message>
        <message id="menu.edit.find">
            <source>&amp;Find Lecture</source>
            <translation>&amp;Find Lecture</translation>
        </message>
        <message id="menu.edit.settings">
            <source>&amp;Settings…</source>
            <translation>&amp;Settings…</translation>
        </message>
        <message id="menu.help.contents">
            <source>Lumenote &amp;Help</source>
            <translation>Lumenote &amp;Help</translation>
        </message>
        <message id="menu.help.feedback">
            <source>Send &amp;Feedback…</source>
            <translation>Send &amp;Feedback…</translation>
        </message>
        <message id="menu.edit.undo.named">
            <source>&amp;Undo %1</source>
            <translation>&amp;Undo %1</translation>
        </message>
        <message id="menu.edit.undo">
            <source>&amp;Undo</source>
            <translation>&amp;Undo</translation>
        </message>
        <message id="menu.edit.redo.named">
            <source>&amp;Redo %1</source>
            <translation>&amp;Redo %1</translation>
        </message>
        <message id="menu.edit.redo">
            <source>&amp;Redo</source>
            <translation>&amp;Redo</translation>
        </message>
        <message id="main.processing.busy">
            <source>“%1” is still being processed; try again when it has finished.</source>
            <translation>“%1” is still being processed; try again when it has finished.</translation>
        </message>
        <message id="splash.status.staging">
            <source>Staging yt-dlp…</source>
            <translation>Staging yt-dlp…</translation>
        </message>
        <message id="splash.status.checking">
            <source>Checking for updates…</source>
            <translation>Checking for updates…</translation>
        </message>
        <message id="splash.status.ready">
            <source>Ready.</source>
            <translation>Ready.</translation>
        </message>
        <message id="welcome.title">
            <source>Welcome to Lumenote</source>
            <translation>Welcome to Lumenote</translation>
        </message>
        <message id="welcome.message">
            <source>Turn a recorded lecture into a study page with its transcript, slides and notes.</source>
            <translation>Turn a recorded lecture into a study page with its transcript, slides and notes.</translation>
        </message>
        <message id="welcome.import">
            <source>Import Lecture…</source>
            <translation>Import Lecture…</translation>
        </message>
        <message id="welcome.drop.hint">
            <source>or drop a video file (MP4, MOV, M4V) here</source>
            <translation>or drop a video file (MP4, MOV, M4V) here</translation>
        </message>
    </context>
</TS>
