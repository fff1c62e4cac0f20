<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
    <context>
        <name />
        <message id="settings.window.title">
            <source>Settings</source>
            <translation>Ajustes</translation>
        </message>
        <message id="settings.tab.general">
            <source>General</source>
            <translation>Opciones generales</translation>
        </message>
        <message id="settings.tab.consolidation">
            <source>Consolidation</source>
            <translation>Consolidación</translation>
        </message>
        <message id="settings.tab.markdown">
            <source>Markdown</source>
            <translation>Exportación Markdown</translation>
        </message>
        <message id="settings.tab.tools">
            <source>Tools</source>
            <translation>Herramientas</translation>
        </message>
        <message id="settings.tab.cache">
            <source>Cache</source>
            <translation>Vídeos descargados</translation>
        </message>
        <message id="settings.folder.choose">
            <source>Choose…</source>
            <translation>Elegir…</translation>
        </message>
        <message id="settings.folder.reset">
            <source>Use Default</source>
            <translation>Usar la predeterminada</translation>
        </message>
        <message id="settings.folder.error.not.folder">
            <source>“%1” is not a folder. The setting was not changed.</source>
            <translation>«%1» no es una carpeta. El ajuste no se ha cambiado.</translation>
        </message>
        <message id="settings.general.interval.value">
            <source>%1 seconds</source>
            <oldsource>%1 s</oldsource>
            <translation>%1 segundos</translation>
        </message>
        <message id="settings.general.language">
            <source>Language:</source>
            <translation>Idioma:</translation>
        </message>
        <message id="settings.general.language.note">
            <source>The interface changes at once; lectures and exports keep their own language.</source>
            <translation>La interfaz cambia al instante; las clases y las exportaciones conservan su propio idioma.</translation>
        </message>
        <message id="settings.general.spoken">
            <source>Spoken language:</source>
            <translation>Idioma hablado:</translation>
        </message>
        <message id="settings.general.spoken.auto">
            <source>Detect automatically</source>
            <translation>Detectar automáticamente</translation>
        </message>
        <message id="settings.general.spoken.note">
            <source>The language the lectures are given in, for transcription. Detected automatically, the model listens to the first half minute. English-only models always write English.</source>
            <translation>El idioma en que se imparten las clases, para la transcripción. Con la detección automática, el modelo escucha el primer medio minuto. Los modelos solo en inglés siempre escriben en inglés.</translation>
        </message>
        <message id="settings.general.logo">
            <source>Logo artwork:</source>
            <oldsource>Logo:</oldsource>
            <translation>Diseño del logotipo:</translation>
        </message>
        <message id="settings.general.logo.automatic">
            <source>Seasonal (automatic)</source>
            <translation>Según la estación (automático)</translation>
        </message>
        <message id="settings.general.logo.standard">
            <source>Standard</source>
            <translation>Clásico</translation>
        </message>
        <message id="settings.general.logo.autumn">
            <source>Autumn</source>
            <translation>Otoño</translation>
        </message>
        <message id="settings.general.logo.christmas">
            <source>Christmas</source>
            <translation>Navidad</translation>
        </message>
        <message id="settings.general.interval">
            <source>Screenshot interval:</source>
            <translation>Intervalo de capturas:</translation>
        </message>
        <message id="settings.general.interval.tooltip">
            <source>The longest stretch of a lecture without a screenshot.</source>
            <translation>El tramo más largo de una clase sin captura de pantalla.</translation>
        </message>
        <message id="settings.general.export.folder">
            <source>Export folder:</source>
            <translation>Carpeta de exportación:</translation>
        </message>
        <message id="settings.general.export.folder.chooser">
            <source>Choose the Export Folder</source>
            <translation>Elegir la carpeta de exportación</translation>
        </message>
        <message id="settings.general.sync.folder">
            <source>Sync folder:</source>
            <translation>Carpeta sincronizada:</translation>
        </message>
        <message id="settings.general.sync.folder.none">
            <source>None: the library stays on this computer</source>
            <translation>Ninguna: la biblioteca se queda en este ordenador</translation>
        </message>
        <message id="settings.general.sync.folder.chooser">
            <source>Choose the Sync Folder</source>
            <translation>Elegir la carpeta sincronizada</translation>
        </message>
        <message id="settings.general.sync.folder.note">
            <source>A folder that your sync client (Nextcloud, Syncthing, Dropbox…) keeps in step between your computers. Lumenote keeps its library and exports in its “Lumenote” subfolder. A change takes effect the next time Lumenote starts.</source>
            <translation>Una carpeta que tu cliente de sincronización (Nextcloud, Syncthing, Dropbox…) mantiene al día entre tus ordenadores. Lumenote guarda su biblioteca y sus exportaciones en la subcarpeta «Lumenote». El cambio se aplica la próxima vez que se inicie Lumenote.</translation>
        </message>
        <message id="settings.general.sync.never">
            <source>never</source>
            <translation>nunca</translation>
        </message>
        <message id="settings.general.sync.status">
            <source>Last sent: %1 (%2 records) · last received: %3 (%4 records) · waiting: %5 · conflicts resolved: %6</source>
            <translation>Último envío: %1 (%2 registros) · última recepción: %3 (%4 registros) · en espera: %5 · conflictos resueltos: %6</translation>
        </message>
        <message id="settings.markdown.description">
            <source>Besides the HTML study document, each export can write a Markdown file with the notes, the transcript and the screenshots, ready for a notes vault such as Obsidian.</source>
            <translation>Además del documento de estudio HTML, cada exportación puede escribir un archivo Markdown con los apuntes, la transcripción y las capturas, listo para un gestor de notas como Obsidian.</translation>
        </message>
        <message id="settings.markdown.enabled">
            <source>Write a Markdown file with every export</source>
            <translation>Escribir un archivo Markdown en cada exportación</translation>
        </message>
        <message id="settings.markdown.obsidian">
            <source>Use Obsidian embeds for images</source>
            <translation>Usar incrustaciones de Obsidian para las imágenes</translation>
        </message>
        <message id="settings.markdown.obsidian.example.on">
            <source>Images are written as ![[images/file.jpg]]</source>
            <translation>Las imágenes se escriben como ![[images/file.jpg]]</translation>
        </message>
        <message id="settings.markdown.obsidian.example.off">
            <source>Images are written as ![](images/file.jpg)</source>
            <translation>Las imágenes se escriben como ![](images/file.jpg)</translation>
        </message>
        <message id="settings.markdown.folder">
            <source>Markdown folder:</source>
            <translation>Carpeta Markdown:</translation>
        </message>
        <message id="settings.markdown.folder.default">
            <source>Same folder as the HTML export</source>
            <translation>La misma carpeta que la exportación HTML</translation>
        </message>
        <message id="settings.markdown.folder.chooser">
            <source>Choose the Markdown Folder</source>
            <translation>Elegir la carpeta Markdown</translation>
        </message>
        <message id="settings.markdown.folder.note">
            <source>In a folder of your own, each lecture gets a subfolder named after its date and title, with a copy of its images.</source>
            <translation>En una carpeta propia, cada clase recibe una subcarpeta con su fecha y su título, con una copia de sus imágenes.</translation>
        </message>
        <message id="settings.consolidation.claude.fetching">
            <source>Loading the models of your account…</source>
            <translation>Cargando los modelos de tu cuenta…</translation>
        </message>
        <message id="settings.consolidation.claude.fetched">
            <source>%1 models available to your account.</source>
            <translation>%1 modelos disponibles en tu cuenta.</translation>
        </message>
        <message id="settings.consolidation.claude.builtin">
            <source>Built-in list. Save an API key to see the models of your account.</source>
            <translation>Lista integrada. Guarda una clave de API para ver los modelos de tu cuenta.</translation>
        </message>
        <message id="settings.consolidation.ollama.fetching">
            <source>Looking for installed models…</source>
            <translation>Buscando los modelos instalados…</translation>
        </message>
        <message id="settings.consolidation.ollama.fetched">
            <source>%1 models installed on this server.</source>
            <translation>%1 modelos instalados en este servidor.</translation>
        </message>
        <message id="settings.consolidation.key.file">
            <source>No Secret Service is running, so the key is kept in %1, readable only by you.</source>
            <translation>No hay ningún Secret Service en ejecución, así que la clave se guarda en %1, legible solo por ti.</translation>
        </message>
        <message id="settings.consolidation.key.keyring">
            <source>The key is kept in your desktop's keyring (Secret Service).</source>
            <translation>La clave se guarda en el llavero de tu escritorio (Secret Service).</translation>
        </message>
        <message id="settings.consolidation.enabled">
            <source>Consolidate new lectures into study notes</source>
            <translation>Convertir las clases nuevas en apuntes de estudio</translation>
        </message>
        <message id="settings.consolidation.provider">
            <source>Provider:</source>
            <translation>Proveedor:</translation>
        </message>
        <message id="settings.consolidation.claude.title">
            <source>Claude (Anthropic)</source>
            <translation>Claude (de Anthropic)</translation>
        </message>
        <message id="settings.consolidation.key">
            <source>API key:</source>
            <translation>Clave de API:</translation>
        </message>
        <message id="settings.consolidation.key.placeholder">
            <source>Paste your Anthropic API key</source>
            <translation>Pega tu clave de API de Anthropic</translation>
        </message>
        <message id="settings.consolidation.key.save">
            <source>Save</source>
            <translation>Guardar</translation>
        </message>
        <message id="settings.consolidation.key.remove">
            <source>Remove</source>
            <translation>Eliminar</translation>
        </message>
        <message id="settings.consolidation.model">
            <source>Model:</source>
            <translation>Modelo:</translation>
        </message>
        <message id="settings.consolidation.refresh">
            <source>Refresh</source>
            <translation>Actualizar</translation>
        </message>
        <message id="settings.consolidation.ollama.title">
            <source>Ollama (on your own computer or network)</source>
            <translation>Ollama (en tu ordenador o en tu red)</translation>
        </message>
        <message id="settings.consolidation.ollama.endpoint">
            <source>Server address:</source>
            <translation>Dirección del servidor:</translation>
        </message>
        <message id="settings.consolidation.ollama.model.manual">
            <source>(type manually or tap Refresh)</source>
            <translation>(escríbelo a mano o pulsa Actualizar)</translation>
        </message>
        <message id="settings.consolidation.ollama.model.placeholder">
            <source>Select a model…</source>
            <translation>Elige un modelo…</translation>
        </message>
        <message id="settings.consolidation.prompt">
            <source>Instructions given to the model:</source>
            <translation>Instrucciones para el modelo:</translation>
        </message>
        <message id="settings.consolidation.prompt.reset">
            <source>Reset to Default</source>
            <translation>Restablecer</translation>
        </message>
        <message id="settings.tools.status.current">
            <source>Up to date (version %1)</source>
            <translation>Actualizado (versión %1)</translation>
        </message>
        <message id="settings.tools.status.available">
            <source>Version %1 is available (installed: %2)</source>
            <translation>Hay una versión nueva, la %1 (instalada: %2)</translation>
        </message>
        <message id="settings.tools.status.checking">
            <source>Checking for a newer version…</source>
            <translation>Buscando una versión más reciente…</translation>
        </message>
        <message id="settings.tools.status.updating">
            <source>Downloading… %1%</source>
            <translation>Descargando… %1 %</translation>
        </message>
        <message id="settings.tools.status.failed">
            <source>The check failed. Check your connection and try again.</source>
            <translation>La comprobación ha fallado. Revisa tu conexión y vuelve a intentarlo.</translation>
        </message>
        <message id="settings.tools.status.known">
            <source>Version %1 (not checked in this session)</source>
            <translation>Versión %1 (sin comprobar en esta sesión)</translation>
        </message>
        <message id="settings.tools.status.unknown">
            <source>Not checked yet</source>
            <translation>Todavía sin comprobar</translation>
        </message>
        <message id="settings.tools.last.check.never">
            <source>Never checked</source>
            <translation>Nunca comprobado</translation>
        </message>
        <message id="settings.tools.last.check">
            <source>Last checked: %1</source>
            <translation>Última comprobación: %1</translation>
        </message>
        <message id="settings.tools.ytdlp.missing">
            <source>Not found. Install yt-dlp with your package manager to import from web addresses.</source>
            <translation>No encontrado. Instala yt-dlp con tu gestor de paquetes para importar desde direcciones web.</translation>
        </message>
        <message id="settings.tools.ffmpeg.missing">
            <source>Not found. Lumenote needs ffmpeg for web videos and for videos it must convert.</source>
            <translation>No encontrado. Lumenote necesita ffmpeg para los vídeos de la web y para los vídeos que debe convertir.</translation>
        </message>
        <message id="settings.tools.update">
            <source>Update</source>
            <translation>Actualizar</translation>
        </message>
        <message id="settings.tools.install">
            <source>Install</source>
            <translation>Instalar</translation>
        </message>
        <message id="settings.tools.models.stop">
            <source>Stop Download</source>
            <translation>Detener la descarga</translation>
        </message>
        <message id="settings.tools.models.update">
            <source>Download Update</source>
            <translation>Descargar la actualización</translation>
        </message>
        <message id="settings.tools.models.download">
            <source>Download</source>
            <translation>Descargar</translation>
        </message>
        <message id="settings.tools.models.error">
            <source>The last download failed: %1</source>
            <translation>La última descarga ha fallado: %1</translation>
        </message>
        <message id="settings.tools.models.checking">
            <source>Checking the model repository for newer revisions…</source>
            <translation>Buscando revisiones más recientes en el repositorio de modelos…</translation>
        </message>
        <message id="settings.tools.models.delete.title">
            <source>Delete the %1 model?</source>
            <translation>¿Eliminar el modelo %1?</translation>
        </message>
        <message id="settings.tools.models.delete.text">
            <source>The %1 model is removed from this computer. You can download it again at any time.</source>
            <translation>El modelo %1 se borrará de este ordenador. Puedes volver a descargarlo cuando quieras.</translation>
        </message>
        <message id="settings.tools.models.delete">
            <source>Delete</source>
            <translation>Eliminar</translation>
        </message>
        <message id="settings.cancel">
            <source>Cancel</source>
            <translation>Cancelar</translation>
        </message>
        <message id="settings.tools.check">
            <source>Check Now</source>
            <translation>Comprobar ahora</translation>
        </message>
        <message id="settings.tools.models.title">
            <source>Speech models</source>
            <translation>Modelos de reconocimiento de voz</translation>
        </message>
        <message id="settings.tools.models.description">
            <source>Transcription runs on this computer with the checked model. Larger models are more accurate but slower.</source>
            <translation>La transcripción se hace en este ordenador con el modelo marcado. Los modelos más grandes son más precisos, pero más lentos.</translation>
        </message>
        <message id="settings.tools.models.use">
            <source>Use This Model</source>
            <translation>Usar este modelo</translation>
        </message>
        <message id="settings.tools.models.delete.button">
            <source>Delete…</source>
            <translation>Eliminar…</translation>
        </message>
        <message id="settings.tools.models.check">
            <source>Check for Updates</source>
            <translation>Buscar actualizaciones</translation>
        </message>
        <message id="settings.tools.models.note.fastest">
            <source>Fastest</source>
            <translation>El más rápido</translation>
        </message>
        <message id="settings.tools.models.note.balance">
            <source>Good balance</source>
            <translation>Buen equilibrio</translation>
        </message>
        <message id="settings.tools.models.note.recommended">
            <source>Recommended</source>
            <translation>Recomendado</translation>
        </message>
        <message id="settings.tools.models.note.high">
            <source>High accuracy</source>
            <translation>Alta precisión</translation>
        </message>
        <message id="settings.tools.models.note.best">
            <source>Best accuracy</source>
            <translation>La mejor precisión</translation>
        </message>
        <message id="settings.tools.models.state.downloading">
            <source>Downloading… %1%</source>
            <translation>Descargando… %1 %</translation>
        </message>
        <message id="settings.tools.models.state.absent">
            <source>Not downloaded</source>
            <translation>Sin descargar</translation>
        </message>
        <message id="settings.tools.models.state.checking">
            <source>Checking…</source>
            <translation>Comprobando…</translation>
        </message>
        <message id="settings.tools.models.state.available">
            <source>Update available</source>
            <translation>Actualización disponible</translation>
        </message>
        <message id="settings.tools.models.state.failed">
            <source>Downloaded (check failed)</source>
            <translation>Descargado (la comprobación falló)</translation>
        </message>
        <message id="settings.tools.models.state.current">
            <source>Up to date</source>
            <translation>Actualizado</translation>
        </message>
        <message id="settings.tools.models.state.downloaded">
            <source>Downloaded</source>
            <translation>Descargado</translation>
        </message>
        <message id="settings.tools.models.column.name">
            <source>Model</source>
            <translation>Modelo</translation>
        </message>
        <message id="settings.tools.models.column.size">
            <source>Download</source>
            <translation>Descarga</translation>
        </message>
        <message id="settings.tools.models.column.note">
            <source>Best for</source>
            <translation>Ideal para</translation>
        </message>
        <message id="settings.tools.models.column.state">
            <source>State</source>
            <translation>Estado</translation>
        </message>
        <message id="settings.cache.in.use">
            <source>In use</source>
            <translation>En uso</translation>
        </message>
        <message id="settings.cache.incomplete">
            <source>Incomplete download</source>
            <translation>Descarga incompleta</translation>
        </message>
        <message id="settings.cache.column.name">
            <source>Video name</source>
            <oldsource>Video</oldsource>
            <translation>Nombre del vídeo</translation>
        </message>
        <message id="settings.cache.column.size">
            <source>Size</source>
            <translation>Tamaño</translation>
        </message>
        <message id="settings.cache.column.label">
            <source>Status</source>
            <translation>Estado</translation>
        </message>
        <message id="settings.cache.total">
            <source>%1 videos, %2 in total</source>
            <translation>%1 vídeos, %2 en total</translation>
        </message>
        <message id="settings.cache.delete.failed">
            <source>“%1” could not be deleted.</source>
            <translation>No se ha podido eliminar «%1».</translation>
        </message>
        <message id="settings.cache.remove.all.confirm">
            <source>Lectures that used these videos will need to be re-downloaded before they can be reprocessed.</source>
            <translation>Las clases que usaban estos vídeos tendrán que volver a descargarlos antes de poder procesarse de nuevo.</translation>
        </message>
        <message id="settings.cache.remove.all.in.use.one">
            <source>%1 file is still used by library items and will not be removed.</source>
            <translation>%1 archivo sigue en uso en la biblioteca y no se eliminará.</translation>
        </message>
        <message id="settings.cache.remove.all.in.use.many">
            <source>%1 files are still used by library items and will not be removed.</source>
            <translation>%1 archivos siguen en uso en la biblioteca y no se eliminarán.</translation>
        </message>
        <message id="settings.cache.remove.all">
            <source>Remove All Unused Videos</source>
            <translation>Eliminar todos los vídeos sin usar</translation>
        </message>
        <message id="settings.cache.title">
            <source>Downloaded Videos</source>
            <translation>Vídeos descargados</translation>
        </message>
        <message id="settings.cache.description">
            <source>Videos downloaded from web addresses stay here so that lectures can be processed again. Videos that a lecture still uses are protected.</source>
            <translation>Los vídeos descargados de direcciones web se quedan aquí para poder volver a procesar las clases. Los vídeos que aún usa alguna clase están protegidos.</translation>
        </message>
        <message id="settings.cache.calculating">
            <source>Calculating sizes…</source>
            <translation>Calculando tamaños…</translation>
        </message>
        <message id="settings.cache.empty.title">
            <source>No downloaded videos</source>
            <translation>No hay vídeos descargados</translation>
        </message>
        <message id="settings.cache.empty.detail">
            <source>Videos you import from a web address appear here.</source>
            <translation>Aquí aparecerán los vídeos que importes desde una dirección web.</translation>
        </message>
        <message id="settings.cache.protected.legend">
            <source>Videos marked “In use” belong to lectures in your library and cannot be deleted here.</source>
            <translation>Los vídeos marcados como «En uso» pertenecen a clases de tu biblioteca y no se pueden eliminar desde aquí.</translation>
        </message>
        <message id="settings.cache.delete">
            <source>Delete</source>
            <translation>Eliminar</translation>
        </message>
        <message id="settings.consolidation.error.ollama.address">
            <source>The Ollama server address is not valid.</source>
            <translation>La dirección del servidor Ollama no es válida.</translation>
        </message>
        <message id="settings.consolidation.error.ollama.response">
            <source>Ollama answered with something unexpected.</source>
            <translation>Ollama ha respondido algo inesperado.</translation>
        </message>
        <message id="settings.consolidation.error.ollama.empty">
            <source>Ollama is running but has no models installed.</source>
            <translation>Ollama está en marcha, pero no tiene ningún modelo instalado.</translation>
        </message>
        <message id="settings.consolidation.error.ollama.unreachable">
            <source>Could not reach Ollama at %1. Is it running?</source>
            <translation>No se puede conectar con Ollama en %1. ¿Está en marcha?</translation>
        </message>
        <message id="settings.consolidation.error.claude.silent">
            <source>Anthropic did not answer.</source>
            <translation>Anthropic no ha respondido.</translation>
        </message>
        <message id="settings.consolidation.error.claude.response">
            <source>Anthropic answered with something unexpected.</source>
            <translation>Anthropic ha respondido algo inesperado.</translation>
        </message>
        <message id="settings.consolidation.error.claude.empty">
            <source>The API returned no models.</source>
            <translation>La API no ha devuelto ningún modelo.</translation>
        </message>
        <message id="settings.consolidation.error.claude.unreachable">
            <source>Could not reach the Anthropic API: %1</source>
            <translation>No se puede conectar con la API de Anthropic: %1</translation>
        </message>
        <message id="settings.consolidation.error.claude.status">
            <source>The Anthropic API answered %1</source>
            <translation>La API de Anthropic ha respondido %1</translation>
        </message>
    </context>
</TS>
