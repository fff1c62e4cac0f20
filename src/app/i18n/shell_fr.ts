<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
    <context>
        <name />
        <message id="startup.store.error.title">
            <source>Lumenote cannot open its library.</source>
            <translation>Lumenote ne parvient pas à ouvrir sa bibliothèque.</translation>
        </message>
        <message id="startup.store.error.message">
            <source>The library file is at %1.

%2

The file has not been changed. Move it aside or restore a backup, then start Lumenote again.</source>
            <translation>Le fichier de la bibliothèque se trouve dans %1.

%2

Le fichier n’a pas été modifié. Déplacez-le ou restaurez une sauvegarde, puis relancez Lumenote.</translation>
        </message>
        <message id="feedback.mail.thanks">
            <source>Thank you for helping to make Lumenote better! Tell us what happened, what you expected, and how to reproduce it if you can.</source>
            <translation>Merci de nous aider à améliorer Lumenote ! Dites-nous ce qui s’est passé, ce que vous attendiez et, si possible, comment reproduire le problème.</translation>
        </message>
        <message id="feedback.mail.system.note">
            <source>The system information below helps us to find problems; you may delete it.</source>
            <translation>Les informations système ci-dessous nous aident à trouver les problèmes ; vous pouvez les supprimer.</translation>
        </message>
        <message id="import.duplicate.open.existing">
            <source>Open Existing</source>
            <translation>Ouvrir l’existant</translation>
        </message>
        <message id="import.duplicate.reprocess">
            <source>Process Again</source>
            <translation>Traiter à nouveau</translation>
        </message>
        <message id="import.duplicate.redownload.reprocess">
            <source>Download Again and Process</source>
            <translation>Retélécharger et traiter</translation>
        </message>
        <message id="import.duplicate.cancel">
            <source>Cancel</source>
            <translation>Annuler</translation>
        </message>
        <message id="import.title">
            <source>Import Lecture</source>
            <translation>Importer un cours</translation>
        </message>
        <message id="import.tab.file">
            <source>Video File</source>
            <translation>Fichier vidéo</translation>
        </message>
        <message id="import.tab.url">
            <source>Web Address</source>
            <translation>Adresse web</translation>
        </message>
        <message id="import.file.message">
            <source>Choose a lecture video on this computer (MP4, MOV or M4V). It stays where it is; Lumenote keeps a reference to it.</source>
            <translation>Choisissez une vidéo de cours sur cet ordinateur (MP4, MOV ou M4V). Elle reste à sa place ; Lumenote en garde une référence.</translation>
        </message>
        <message id="import.file.choose">
            <source>Choose File…</source>
            <translation>Choisir un fichier…</translation>
        </message>
        <message id="import.url.no.downloader.label">
            <source>yt-dlp is not installed</source>
            <translation>yt-dlp n’est pas installé</translation>
        </message>
        <message id="import.url.no.downloader.message">
            <source>Downloading from a web address needs yt-dlp. Install it with your package manager (for example “sudo apt install yt-dlp”), then check again.</source>
            <translation>Le téléchargement depuis une adresse web nécessite yt-dlp. Installez-le avec votre gestionnaire de paquets (par exemple « sudo apt install yt-dlp »), puis vérifiez à nouveau.</translation>
        </message>
        <message id="import.url.no.downloader.retry">
            <source>Check Again</source>
            <translation>Vérifier à nouveau</translation>
        </message>
        <message id="import.url.label">
            <source>Address of the lecture video</source>
            <translation>Adresse de la vidéo du cours</translation>
        </message>
        <message id="import.url.placeholder">
            <source>https://www.example.com/lecture</source>
            <translation>https://www.exemple.com/cours</translation>
        </message>
        <message id="import.url.stop">
            <source>Stop</source>
            <translation>Arrêter</translation>
        </message>
        <message id="import.footer.download.import">
            <source>Download and Import</source>
            <translation>Télécharger et importer</translation>
        </message>
        <message id="import.footer.cancel">
            <source>Cancel</source>
            <translation>Annuler</translation>
        </message>
        <message id="import.url.invalid">
            <source>Enter a web address that begins with http:// or https://.</source>
            <translation>Saisissez une adresse web qui commence par http:// ou https://.</translation>
        </message>
        <message id="import.url.preparing">
            <source>Preparing the download…</source>
            <translation>Préparation du téléchargement…</translation>
        </message>
        <message id="import.url.stopped">
            <source>The download was stopped.</source>
            <translation>Le téléchargement a été interrompu.</translation>
        </message>
        <message id="import.url.failed">
            <source>The download failed.</source>
            <translation>Le téléchargement a échoué.</translation>
        </message>
        <message id="import.file.chooser.title">
            <source>Choose a Lecture Video</source>
            <translation>Choisir une vidéo de cours</translation>
        </message>
        <message id="import.duplicate.title">
            <source>Already in Your Library</source>
            <translation>Déjà dans votre bibliothèque</translation>
        </message>
        <message id="import.duplicate.message.url">
            <source>“%1” was already downloaded from this address. Open it, or download it again and process it anew?</source>
            <translation>« %1 » a déjà été téléchargé depuis cette adresse. L’ouvrir, ou le retélécharger et le traiter à nouveau ?</translation>
        </message>
        <message id="import.duplicate.message.file">
            <source>“%1” was already imported from this file. Open it, or process it again?</source>
            <translation>« %1 » a déjà été importé depuis ce fichier. L’ouvrir, ou le traiter à nouveau ?</translation>
        </message>
        <message id="detail.status">
            <source>Status: %1</source>
            <translation>État : %1</translation>
        </message>
        <message id="detail.source.url">
            <source>Downloaded from %1</source>
            <translation>Téléchargé depuis %1</translation>
        </message>
        <message id="detail.source.file">
            <source>Video file: %1</source>
            <translation>Fichier vidéo : %1</translation>
        </message>
        <message id="detail.export.path">
            <source>Study page: %1</source>
            <translation>Page d’étude : %1</translation>
        </message>
        <message id="detail.export.none">
            <source>Not exported yet. The study page will be written to %1.</source>
            <translation>Pas encore exporté. La page d’étude sera enregistrée dans %1.</translation>
        </message>
        <message id="sidebar.undo.rename.folder">
            <source>Rename Folder</source>
            <translation>Renommer le dossier</translation>
        </message>
        <message id="sidebar.undo.move.to.folder">
            <source>Move to Folder</source>
            <translation>Déplacer vers un dossier</translation>
        </message>
        <message id="sidebar.lecture.remove.from.folder">
            <source>Remove from Folder</source>
            <translation>Retirer du dossier</translation>
        </message>
        <message id="sidebar.status.pending">
            <source>Pending</source>
            <translation>En attente</translation>
        </message>
        <message id="sidebar.status.missing">
            <source>Export missing</source>
            <translation>Export manquant</translation>
        </message>
        <message id="sidebar.status.transcribing">
            <source>Transcribing</source>
            <translation>Transcription</translation>
        </message>
        <message id="sidebar.status.capturing.screenshots">
            <source>Capturing slides</source>
            <translation>Capture des diapositives</translation>
        </message>
        <message id="sidebar.status.consolidating">
            <source>Writing notes</source>
            <translation>Rédaction des notes</translation>
        </message>
        <message id="sidebar.status.generating.page">
            <source>Exporting</source>
            <translation>Exportation</translation>
        </message>
        <message id="sidebar.status.complete">
            <source>Ready</source>
            <translation>Prêt</translation>
        </message>
        <message id="sidebar.status.failed">
            <source>Failed</source>
            <translation>Échec</translation>
        </message>
        <message id="sidebar.confirm.delete">
            <source>Delete</source>
            <translation>Supprimer</translation>
        </message>
        <message id="sidebar.title">
            <source>Library</source>
            <translation>Bibliothèque</translation>
        </message>
        <message id="sidebar.menu.new.folder">
            <source>New Folder</source>
            <translation>Nouveau dossier</translation>
        </message>
        <message id="sidebar.filter.placeholder">
            <source>Search lectures</source>
            <translation>Rechercher dans les cours</translation>
        </message>
        <message id="sidebar.empty.title">
            <source>No lectures yet</source>
            <translation>Aucun cours pour l’instant</translation>
        </message>
        <message id="sidebar.empty.message">
            <source>Import a lecture video to get started.</source>
            <translation>Importez une vidéo de cours pour commencer.</translation>
        </message>
        <message id="sidebar.filter.hits">
            <source>Matches: %1 · Lectures: %2</source>
            <translation>Occurrences : %1 · Cours : %2</translation>
        </message>
        <message id="sidebar.filter.no.matches">
            <source>No lecture matches your search.</source>
            <translation>Aucun cours ne correspond à votre recherche.</translation>
        </message>
        <message id="sidebar.stats.summary">
            <source>Lectures: %1 · Duration: %2
Words: %3 · Screenshots: %4</source>
            <translation>Cours : %1 · Durée : %2
Mots : %3 · Captures : %4</translation>
        </message>
        <message id="sidebar.lecture.move.to.folder">
            <source>Move to Folder</source>
            <translation>Déplacer vers un dossier</translation>
        </message>
        <message id="sidebar.lecture.move.no.folders">
            <source>No folders yet</source>
            <translation>Aucun dossier pour l’instant</translation>
        </message>
        <message id="sidebar.lecture.delete">
            <source>Delete Lecture…</source>
            <translation>Supprimer le cours…</translation>
        </message>
        <message id="sidebar.lecture.delete.selected">
            <source>Delete %1 Lectures…</source>
            <translation>Supprimer %1 cours…</translation>
        </message>
        <message id="sidebar.folder.rename">
            <source>Rename Folder</source>
            <translation>Renommer le dossier</translation>
        </message>
        <message id="sidebar.folder.delete">
            <source>Delete Folder…</source>
            <translation>Supprimer le dossier…</translation>
        </message>
        <message id="sidebar.folder.delete.contents">
            <source>Delete Folder and Its Lectures…</source>
            <translation>Supprimer le dossier et ses cours…</translation>
        </message>
        <message id="sidebar.menu.delete.unprocessed">
            <source>Delete Unprocessed Lectures…</source>
            <translation>Supprimer les cours non traités…</translation>
        </message>
        <message id="sidebar.menu.delete.all">
            <source>Delete All Lectures…</source>
            <translation>Supprimer tous les cours…</translation>
        </message>
        <message id="sidebar.folder.new.name">
            <source>New Folder</source>
            <translation>Nouveau dossier</translation>
        </message>
        <message id="sidebar.confirm.delete.lecture.title">
            <source>Delete “%1”?</source>
            <translation>Supprimer « %1 » ?</translation>
        </message>
        <message id="sidebar.confirm.delete.lecture.message">
            <source>The lecture, its transcript, its screenshots and its exported study page are removed. This cannot be undone.</source>
            <translation>Le cours, sa transcription, ses captures et sa page d’étude exportée seront supprimés. Cette action est irréversible.</translation>
        </message>
        <message id="sidebar.confirm.delete.selected.title">
            <source>Delete %1 lectures?</source>
            <translation>Supprimer %1 cours ?</translation>
        </message>
        <message id="sidebar.confirm.delete.selected.message">
            <source>The selected lectures, their transcripts, screenshots and exported study pages are removed. This cannot be undone.</source>
            <translation>Les cours sélectionnés, leurs transcriptions, captures et pages d’étude exportées seront supprimés. Cette action est irréversible.</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.contents.title">
            <source>Delete the folder “%1” and its lectures?</source>
            <translation>Supprimer le dossier « %1 » et ses cours ?</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.contents.message">
            <source>Every lecture in this folder is removed with its transcript, screenshots and exported study page. This cannot be undone.</source>
            <translation>Chaque cours de ce dossier sera supprimé avec sa transcription, ses captures et sa page d’étude exportée. Cette action est irréversible.</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.title">
            <source>Delete the folder “%1”?</source>
            <translation>Supprimer le dossier « %1 » ?</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.message">
            <source>Its lectures are kept and move to the top of the library.</source>
            <translation>Ses cours sont conservés et remontent à la racine de la bibliothèque.</translation>
        </message>
        <message id="sidebar.confirm.delete.all.title">
            <source>Delete all lectures?</source>
            <translation>Supprimer tous les cours ?</translation>
        </message>
        <message id="sidebar.confirm.delete.all.message">
            <source>All %1 lectures are removed with their transcripts, screenshots and exported study pages. Downloaded videos stay in the cache. This cannot be undone.</source>
            <translation>Les %1 cours seront supprimés avec leurs transcriptions, captures et pages d’étude exportées. Les vidéos téléchargées restent dans le cache. Cette action est irréversible.</translation>
        </message>
        <message id="sidebar.confirm.delete.unprocessed.title">
            <source>Delete unprocessed lectures?</source>
            <translation>Supprimer les cours non traités ?</translation>
        </message>
        <message id="sidebar.confirm.delete.unprocessed.message">
            <source>%1 lectures that are not complete (pending, failed or with a missing export) are removed. Finished lectures stay.</source>
            <translation>%1 cours non terminés (en attente, en échec ou dont l’export manque) seront supprimés. Les cours terminés sont conservés.</translation>
        </message>
        <message id="menu.file">
            <source>&amp;File</source>
            <translation>&amp;Fichier</translation>
        </message>
        <message id="menu.edit">
            <source>&amp;Edit</source>
            <translation>É&amp;dition</translation>
        </message>
        <message id="menu.help">
            <source>&amp;Help</source>
            <translation>&amp;Aide</translation>
        </message>
        <message id="menu.file.import">
            <source>&amp;Import Lecture…</source>
            <translation>&amp;Importer un cours…</translation>
        </message>
        <message id="menu.file.new.folder">
            <source>&amp;New Folder</source>
            <translation>&amp;Nouveau dossier</translation>
        </message>
        <message id="menu.file.quit">
            <source>&amp;Quit</source>
            <translation>&amp;Quitter</translation>
        </message>
        <message id="menu.edit.find">
            <source>&amp;Find Lecture</source>
            <translation>&amp;Rechercher un cours</translation>
        </message>
        <message id="menu.edit.settings">
            <source>&amp;Settings…</source>
            <translation>&amp;Réglages…</translation>
        </message>
        <message id="menu.help.contents">
            <source>Lumenote &amp;Help</source>
            <translation>&amp;Aide de Lumenote</translation>
        </message>
        <message id="menu.help.feedback">
            <source>Send &amp;Feedback…</source>
            <translation>Envoyer un &amp;avis…</translation>
        </message>
        <message id="menu.edit.undo.named">
            <source>&amp;Undo %1</source>
            <translation>&amp;Annuler : %1</translation>
        </message>
        <message id="menu.edit.undo">
            <source>&amp;Undo</source>
            <translation>&amp;Annuler</translation>
        </message>
        <message id="menu.edit.redo.named">
            <source>&amp;Redo %1</source>
            <translation>&amp;Rétablir : %1</translation>
        </message>
        <message id="menu.edit.redo">
            <source>&amp;Redo</source>
            <translation>&amp;Rétablir</translation>
        </message>
        <message id="main.processing.busy">
            <source>“%1” is still being processed; try again when it has finished.</source>
            <translation>« %1 » est encore en cours de traitement ; réessayez quand il sera terminé.</translation>
        </message>
        <message id="splash.status.staging">
            <source>Staging yt-dlp…</source>
            <translation>Préparation de yt-dlp…</translation>
        </message>
        <message id="splash.status.checking">
            <source>Checking for updates…</source>
            <translation>Recherche de mises à jour…</translation>
        </message>
        <message id="splash.status.ready">
            <source>Ready.</source>
            <translation>Prêt.</translation>
        </message>
        <message id="welcome.title">
            <source>Welcome to Lumenote</source>
            <translation>Bienvenue dans Lumenote</translation>
        </message>
        <message id="welcome.message">
            <source>Turn a recorded lecture into a study page with its transcript, slides and notes.</source>
            <translation>Transformez un cours enregistré en page d’étude avec sa transcription, ses diapositives et ses notes.</translation>
        </message>
        <message id="welcome.import">
            <source>Import Lecture…</source>
            <translation>Importer un cours…</translation>
        </message>
        <message id="welcome.drop.hint">
            <source>or drop a video file (MP4, MOV, M4V) here</source>
            <translation>ou déposez ici un fichier vidéo (MP4, MOV, M4V)</translation>
        </message>
    </context>
</TS>
