<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es_ES">
    <context>
        <name />
        <message id="startup.store.error.title">
            <source>Lumenote cannot open its library.</source>
            <translation>Lumenote no puede abrir su biblioteca.</translation>
        </message>
        <message id="startup.store.error.message">
            <source>The library file is at %1.

%2

The file has not been changed. Move it aside or restore a backup, then start Lumenote again.</source>
            <translation>El archivo de la biblioteca está en %1.

%2

El archivo no se ha modificado. Muévalo a otro lugar o restaure una copia de seguridad y vuelva a iniciar Lumenote.</translation>
        </message>
        <message id="feedback.mail.thanks">
            <source>Thank you for helping to make Lumenote better! Tell us what happened, what you expected, and how to reproduce it if you can.</source>
            <translation>¡Gracias por ayudarnos a mejorar Lumenote! Cuéntenos qué ocurrió, qué esperaba y, si puede, cómo reproducirlo.</translation>
        </message>
        <message id="feedback.mail.system.note">
            <source>The system information below helps us to find problems; you may delete it.</source>
            <translation>La información del sistema que aparece abajo nos ayuda a encontrar problemas; puede borrarla.</translation>
        </message>
        <message id="import.duplicate.open.existing">
            <source>Open Existing</source>
            <translation>Abrir la existente</translation>
        </message>
        <message id="import.duplicate.reprocess">
            <source>Process Again</source>
            <translation>Procesar de nuevo</translation>
        </message>
        <message id="import.duplicate.redownload.reprocess">
            <source>Download Again and Process</source>
            <translation>Descargar de nuevo y procesar</translation>
        </message>
        <message id="import.duplicate.cancel">
            <source>Cancel</source>
            <translation>Cancelar</translation>
        </message>
        <message id="import.title">
            <source>Import Lecture</source>
            <translation>Importar clase</translation>
        </message>
        <message id="import.tab.file">
            <source>Video File</source>
            <translation>Archivo de vídeo</translation>
        </message>
        <message id="import.tab.url">
            <source>Web Address</source>
            <translation>Dirección web</translation>
        </message>
        <message id="import.file.message">
            <source>Choose a lecture video on this computer (MP4, MOV or M4V). It stays where it is; Lumenote keeps a reference to it.</source>
            <translation>Elija un vídeo de clase de este ordenador (MP4, MOV o M4V). Se queda donde está; Lumenote guarda una referencia a él.</translation>
        </message>
        <message id="import.file.choose">
            <source>Choose File…</source>
            <translation>Elegir archivo…</translation>
        </message>
        <message id="import.url.no.downloader.label">
            <source>yt-dlp is not installed</source>
            <translation>yt-dlp no está instalado</translation>
        </message>
        <message id="import.url.no.downloader.message">
            <source>Downloading from a web address needs yt-dlp. Install it with your package manager (for example “sudo apt install yt-dlp”), then check again.</source>
            <translation>Para descargar desde una dirección web hace falta yt-dlp. Instálelo con su gestor de paquetes (por ejemplo, «sudo apt install yt-dlp») y vuelva a comprobarlo.</translation>
        </message>
        <message id="import.url.no.downloader.retry">
            <source>Check Again</source>
            <translation>Comprobar de nuevo</translation>
        </message>
        <message id="import.url.label">
            <source>Address of the lecture video</source>
            <translation>Dirección del vídeo de la clase</translation>
        </message>
        <message id="import.url.placeholder">
            <source>https://www.example.com/lecture</source>
            <translation>https://www.ejemplo.com/clase</translation>
        </message>
        <message id="import.url.stop">
            <source>Stop</source>
            <translation>Detener</translation>
        </message>
        <message id="import.footer.download.import">
            <source>Download and Import</source>
            <translation>Descargar e importar</translation>
        </message>
        <message id="import.footer.cancel">
            <source>Cancel</source>
            <translation>Cancelar</translation>
        </message>
        <message id="import.url.invalid">
            <source>Enter a web address that begins with http:// or https://.</source>
            <translation>Introduzca una dirección web que empiece por http:// o https://.</translation>
        </message>
        <message id="import.url.preparing">
            <source>Preparing the download…</source>
            <translation>Preparando la descarga…</translation>
        </message>
        <message id="import.url.stopped">
            <source>The download was stopped.</source>
            <translation>Se detuvo la descarga.</translation>
        </message>
        <message id="import.url.failed">
            <source>The download failed.</source>
            <translation>La descarga ha fallado.</translation>
        </message>
        <message id="import.file.chooser.title">
            <source>Choose a Lecture Video</source>
            <translation>Elegir un vídeo de clase</translation>
        </message>
        <message id="import.duplicate.title">
            <source>Already in Your Library</source>
            <translation>Ya está en su biblioteca</translation>
        </message>
        <message id="import.duplicate.message.url">
            <source>“%1” was already downloaded from this address. Open it, or download it again and process it anew?</source>
            <translation>«%1» ya se descargó desde esta dirección. ¿Quiere abrirla, o descargarla de nuevo y volver a procesarla?</translation>
        </message>
        <message id="import.duplicate.message.file">
            <source>“%1” was already imported from this file. Open it, or process it again?</source>
            <translation>«%1» ya se importó desde este archivo. ¿Quiere abrirla o procesarla de nuevo?</translation>
        </message>
        <message id="detail.status">
            <source>Status: %1</source>
            <translation>Estado: %1</translation>
        </message>
        <message id="detail.source.url">
            <source>Downloaded from %1</source>
            <translation>Descargada de %1</translation>
        </message>
        <message id="detail.source.file">
            <source>Video file: %1</source>
            <translation>Archivo de vídeo: %1</translation>
        </message>
        <message id="detail.export.path">
            <source>Study page: %1</source>
            <translation>Página de estudio: %1</translation>
        </message>
        <message id="detail.export.none">
            <source>Not exported yet. The study page will be written to %1.</source>
            <translation>Aún no se ha exportado. La página de estudio se guardará en %1.</translation>
        </message>
        <message id="sidebar.undo.rename.folder">
            <source>Rename Folder</source>
            <translation>Cambiar nombre de la carpeta</translation>
        </message>
        <message id="sidebar.undo.move.to.folder">
            <source>Move to Folder</source>
            <translation>Mover a carpeta</translation>
        </message>
        <message id="sidebar.lecture.remove.from.folder">
            <source>Remove from Folder</source>
            <translation>Quitar de la carpeta</translation>
        </message>
        <message id="sidebar.status.pending">
            <source>Pending</source>
            <translation>Pendiente</translation>
        </message>
        <message id="sidebar.status.missing">
            <source>Export missing</source>
            <translation>Falta la exportación</translation>
        </message>
        <message id="sidebar.status.transcribing">
            <source>Transcribing</source>
            <translation>Transcribiendo</translation>
        </message>
        <message id="sidebar.status.capturing.screenshots">
            <source>Capturing slides</source>
            <translation>Capturando diapositivas</translation>
        </message>
        <message id="sidebar.status.consolidating">
            <source>Writing notes</source>
            <translation>Redactando apuntes</translation>
        </message>
        <message id="sidebar.status.generating.page">
            <source>Exporting</source>
            <translation>Exportando</translation>
        </message>
        <message id="sidebar.status.complete">
            <source>Ready</source>
            <translation>Lista</translation>
        </message>
        <message id="sidebar.status.failed">
            <source>Failed</source>
            <translation>Error</translation>
        </message>
        <message id="sidebar.confirm.delete">
            <source>Delete</source>
            <translation>Eliminar</translation>
        </message>
        <message id="sidebar.title">
            <source>Library</source>
            <translation>Biblioteca</translation>
        </message>
        <message id="sidebar.menu.new.folder">
            <source>New Folder</source>
            <translation>Nueva carpeta</translation>
        </message>
        <message id="sidebar.filter.placeholder">
            <source>Search lectures</source>
            <translation>Buscar en las clases</translation>
        </message>
        <message id="sidebar.empty.title">
            <source>No lectures yet</source>
            <translation>Todavía no hay clases</translation>
        </message>
        <message id="sidebar.empty.message">
            <source>Import a lecture video to get started.</source>
            <translation>Importe un vídeo de clase para empezar.</translation>
        </message>
        <message id="sidebar.filter.hits">
            <source>Matches: %1 · Lectures: %2</source>
            <translation>Coincidencias: %1 · Clases: %2</translation>
        </message>
        <message id="sidebar.filter.no.matches">
            <source>No lecture matches your search.</source>
            <translation>Ninguna clase coincide con su búsqueda.</translation>
        </message>
        <message id="sidebar.stats.summary">
            <source>Lectures: %1 · Duration: %2
Words: %3 · Screenshots: %4</source>
            <translation>Clases: %1 · Duración: %2
Palabras: %3 · Capturas: %4</translation>
        </message>
        <message id="sidebar.lecture.move.to.folder">
            <source>Move to Folder</source>
            <translation>Mover a carpeta</translation>
        </message>
        <message id="sidebar.lecture.move.no.folders">
            <source>No folders yet</source>
            <translation>Aún no hay carpetas</translation>
        </message>
        <message id="sidebar.lecture.delete">
            <source>Delete Lecture…</source>
            <translation>Eliminar clase…</translation>
        </message>
        <message id="sidebar.lecture.delete.selected">
            <source>Delete %1 Lectures…</source>
            <translation>Eliminar %1 clases…</translation>
        </message>
        <message id="sidebar.folder.rename">
            <source>Rename Folder</source>
            <translation>Cambiar nombre de la carpeta</translation>
        </message>
        <message id="sidebar.folder.delete">
            <source>Delete Folder…</source>
            <translation>Eliminar carpeta…</translation>
        </message>
        <message id="sidebar.folder.delete.contents">
            <source>Delete Folder and Its Lectures…</source>
            <translation>Eliminar la carpeta y sus clases…</translation>
        </message>
        <message id="sidebar.menu.delete.unprocessed">
            <source>Delete Unprocessed Lectures…</source>
            <translation>Eliminar clases sin procesar…</translation>
        </message>
        <message id="sidebar.menu.delete.all">
            <source>Delete All Lectures…</source>
            <translation>Eliminar todas las clases…</translation>
        </message>
        <message id="sidebar.folder.new.name">
            <source>New Folder</source>
            <translation>Nueva carpeta</translation>
        </message>
        <message id="sidebar.confirm.delete.lecture.title">
            <source>Delete “%1”?</source>
            <translation>¿Eliminar «%1»?</translation>
        </message>
        <message id="sidebar.confirm.delete.lecture.message">
            <source>The lecture, its transcript, its screenshots and its exported study page are removed. This cannot be undone.</source>
            <translation>Se eliminan la clase, su transcripción, sus capturas y su página de estudio exportada. No se puede deshacer.</translation>
        </message>
        <message id="sidebar.confirm.delete.selected.title">
            <source>Delete %1 lectures?</source>
            <translation>¿Eliminar %1 clases?</translation>
        </message>
        <message id="sidebar.confirm.delete.selected.message">
            <source>The selected lectures, their transcripts, screenshots and exported study pages are removed. This cannot be undone.</source>
            <translation>Se eliminan las clases seleccionadas, sus transcripciones, capturas y páginas de estudio exportadas. No se puede deshacer.</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.contents.title">
            <source>Delete the folder “%1” and its lectures?</source>
            <translation>¿Eliminar la carpeta «%1» y sus clases?</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.contents.message">
            <source>Every lecture in this folder is removed with its transcript, screenshots and exported study page. This cannot be undone.</source>
            <translation>Se elimina cada clase de esta carpeta con su transcripción, sus capturas y su página de estudio exportada. No se puede deshacer.</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.title">
            <source>Delete the folder “%1”?</source>
            <translation>¿Eliminar la carpeta «%1»?</translation>
        </message>
        <message id="sidebar.confirm.delete.folder.message">
            <source>Its lectures are kept and move to the top of the library.</source>
            <translation>Sus clases se conservan y pasan a la raíz de la biblioteca.</translation>
        </message>
        <message id="sidebar.confirm.delete.all.title">
            <source>Delete all lectures?</source>
            <translation>¿Eliminar todas las clases?</translation>
        </message>
        <message id="sidebar.confirm.delete.all.message">
            <source>All %1 lectures are removed with their transcripts, screenshots and exported study pages. Downloaded videos stay in the cache. This cannot be undone.</source>
            <translation>Se eliminan las %1 clases con sus transcripciones, capturas y páginas de estudio exportadas. Los vídeos descargados se quedan en la caché. No se puede deshacer.</translation>
        </message>
        <message id="sidebar.confirm.delete.unprocessed.title">
            <source>Delete unprocessed lectures?</source>
            <translation>¿Eliminar las clases sin procesar?</translation>
        </message>
        <message id="sidebar.confirm.delete.unprocessed.message">
            <source>%1 lectures that are not complete (pending, failed or with a missing export) are removed. Finished lectures stay.</source>
            <translation>Se eliminan %1 clases que no están terminadas (pendientes, con error o con la exportación ausente). Las clases terminadas se conservan.</translation>
        </message>
        <message id="menu.file">
            <source>&amp;File</source>
            <translation>&amp;Archivo</translation>
        </message>
        <message id="menu.edit">
            <source>&amp;Edit</source>
            <translation>&amp;Edición</translation>
        </message>
        <message id="menu.help">
            <source>&amp;Help</source>
            <translation>A&amp;yuda</translation>
        </message>
        <message id="menu.file.import">
            <source>&amp;Import Lecture…</source>
            <translation>&amp;Importar clase…</translation>
        </message>
        <message id="menu.file.new.folder">
            <source>&amp;New Folder</source>
            <translation>&amp;Nueva carpeta</translation>
        </message>
        <message id="menu.file.quit">
            <source>&amp;Quit</source>
            <translation>&amp;Salir</translation>
        </message>
        <message id="menu.edit.find">
            <source>&amp;Find Lecture</source>
            <translation>&amp;Buscar clase</translation>
        </message>
        <message id="menu.edit.settings">
            <source>&amp;Settings…</source>
            <translation>&amp;Preferencias…</translation>
        </message>
        <message id="menu.help.contents">
            <source>Lumenote &amp;Help</source>
            <translation>&amp;Ayuda de Lumenote</translation>
        </message>
        <message id="menu.help.feedback">
            <source>Send &amp;Feedback…</source>
            <translation>Enviar &amp;comentarios…</translation>
        </message>
        <message id="menu.edit.undo.named">
            <source>&amp;Undo %1</source>
            <translation>&amp;Deshacer: %1</translation>
        </message>
        <message id="menu.edit.undo">
            <source>&amp;Undo</source>
            <translation>&amp;Deshacer</translation>
        </message>
        <message id="menu.edit.redo.named">
            <source>&amp;Redo %1</source>
            <translation>&amp;Rehacer: %1</translation>
        </message>
        <message id="menu.edit.redo">
            <source>&amp;Redo</source>
            <translation>&amp;Rehacer</translation>
        </message>
        <message id="main.processing.busy">
            <source>“%1” is still being processed; try again when it has finished.</source>
            <translation>«%1» todavía se está procesando; inténtelo de nuevo cuando termine.</translation>
        </message>
        <message id="splash.status.staging">
            <source>Staging yt-dlp…</source>
            <translation>Preparando yt-dlp…</translation>
        </message>
        <message id="splash.status.checking">
            <source>Checking for updates…</source>
            <translation>Buscando actualizaciones…</translation>
        </message>
        <message id="splash.status.ready">
            <source>Ready.</source>
            <translation>Listo.</translation>
        </message>
        <message id="welcome.title">
            <source>Welcome to Lumenote</source>
            <translation>Le damos la bienvenida a Lumenote</translation>
        </message>
        <message id="welcome.message">
            <source>Turn a recorded lecture into a study page with its transcript, slides and notes.</source>
            <translation>Convierta una clase grabada en una página de estudio con su transcripción, sus diapositivas y sus apuntes.</translation>
        </message>
        <message id="welcome.import">
            <source>Import Lecture…</source>
            <translation>Importar clase…</translation>
        </message>
        <message id="welcome.drop.hint">
            <source>or drop a video file (MP4, MOV, M4V) here</source>
            <translation>o arrastre aquí un archivo de vídeo (MP4, MOV, M4V)</translation>
        </message>
    </context>
</TS>
