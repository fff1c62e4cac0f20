<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name></name>
    <message id="detail.retranscribe.confirm.title">
        <source>Transcribe Again?</source>
        <translation>¿Transcribir de nuevo?</translation>
    </message>
    <message id="detail.retranscribe.confirm.message">
        <source>The transcript is made again with the model chosen below. Screenshots stay as they are; highlights and notes whose words change may no longer find their place.</source>
        <translation>La transcripción se volverá a generar con el modelo que elijas abajo. Las capturas se conservan; los resaltados y notas cuyas palabras cambien quizá ya no encuentren su sitio.</translation>
    </message>
    <message id="detail.retranscribe.model.missing">
        <source>%1 (not downloaded)</source>
        <translation>%1 (no descargado)</translation>
    </message>
    <message id="detail.retranscribe.model">
        <source>Model:</source>
        <translation>Modelo:</translation>
    </message>
    <message id="detail.retranscribe.confirm.proceed">
        <source>Transcribe Again</source>
        <translation>Transcribir de nuevo</translation>
    </message>
    <message id="detail.retranscribe.confirm.cancel">
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message id="detail.alert.strip.title">
        <source>Remove Consolidated Notes?</source>
        <translation>¿Eliminar los apuntes consolidados?</translation>
    </message>
    <message id="detail.alert.strip.message">
        <source>The existing consolidated notes will be removed from the HTML output. You can re-enable consolidation to regenerate them.</source>
        <translation>Los apuntes consolidados actuales se quitarán del documento HTML. Puedes volver a activar la consolidación para generarlos de nuevo.</translation>
    </message>
    <message id="detail.alert.strip.confirm">
        <source>Remove from HTML</source>
        <translation>Quitar del HTML</translation>
    </message>
    <message id="detail.alert.strip.keep">
        <source>Keep Notes</source>
        <translation>Conservar apuntes</translation>
    </message>
    <message id="detail.alert.run.title">
        <source>Run Consolidation Now?</source>
        <translation>¿Consolidar ahora?</translation>
    </message>
    <message id="detail.alert.run.message">
        <source>A transcript is ready. Would you like to generate consolidated notes now?</source>
        <translation>Ya hay una transcripción. ¿Quieres generar ahora los apuntes consolidados?</translation>
    </message>
    <message id="detail.alert.run.confirm">
        <source>Run Consolidation</source>
        <translation>Consolidar</translation>
    </message>
    <message id="detail.alert.run.later">
        <source>Not Now</source>
        <translation>Ahora no</translation>
    </message>
    <message id="detail.redownload.busy">
        <source>Downloading…</source>
        <translation>Descargando…</translation>
    </message>
    <message id="detail.redownload">
        <source>Download Again</source>
        <translation>Volver a descargar</translation>
    </message>
    <message id="detail.action.retranscribe">
        <source>Transcribe Again…</source>
        <translation>Transcribir de nuevo…</translation>
    </message>
    <message id="detail.action.reexport">
        <source>Re-export</source>
        <translation>Volver a exportar</translation>
    </message>
    <message id="detail.action.reexport.help">
        <source>Rebuild the study page from the stored transcript, screenshots, notes and annotations.</source>
        <translation>Reconstruye la página de estudio a partir de la transcripción, las capturas, los apuntes y las anotaciones guardados.</translation>
    </message>
    <message id="detail.action.consolidate">
        <source>Make Study Notes Now</source>
        <translation>Crear apuntes ahora</translation>
    </message>
    <message id="detail.action.remove.notes">
        <source>Remove Study Notes…</source>
        <translation>Quitar apuntes…</translation>
    </message>
    <message id="player.add.to.transcript">
        <source>Add Frame to Transcript</source>
        <translation>Añadir fotograma a la transcripción</translation>
    </message>
    <message id="player.add.to.transcript.help">
        <source>Adds the frame shown in the player to the screenshots.</source>
        <translation>Añade a las capturas el fotograma que muestra el reproductor.</translation>
    </message>
    <message id="detail.action.markdown">
        <source>Write Markdown</source>
        <translation>Escribir Markdown</translation>
    </message>
    <message id="detail.action.markdown.help">
        <source>Write a Markdown version of this lecture to the folder configured in Settings → Markdown.</source>
        <translation>Escribe una versión en Markdown de esta clase en la carpeta configurada en Ajustes → Markdown.</translation>
    </message>
    <message id="detail.action.open.page">
        <source>Open Study Page</source>
        <translation>Abrir página de estudio</translation>
    </message>
    <message id="detail.action.show.folder">
        <source>Show in Folder</source>
        <translation>Mostrar en la carpeta</translation>
    </message>
    <message id="detail.consolidation.mode">
        <source>Study notes:</source>
        <translation>Apuntes:</translation>
    </message>
    <message id="detail.consolidation.mode.off">
        <source>Off</source>
        <translation>Desactivados</translation>
    </message>
    <message id="detail.consolidation.mode.claude">
        <source>Claude</source>
        <translation>Claude</translation>
    </message>
    <message id="detail.consolidation.mode.ollama">
        <source>Ollama</source>
        <translation>Ollama</translation>
    </message>
    <message id="detail.converting">
        <source>Converting the video so that it can be played…</source>
        <translation>Convirtiendo el vídeo para poder reproducirlo…</translation>
    </message>
    <message id="detail.source.missing">
        <source>The video file of this lecture is no longer where it was.</source>
        <translation>El archivo de vídeo de esta clase ya no está donde estaba.</translation>
    </message>
    <message id="detail.action.begin.processing">
        <source>Start Processing</source>
        <translation>Empezar a procesar</translation>
    </message>
    <message id="detail.action.processing">
        <source>Process Again</source>
        <translation>Procesar de nuevo</translation>
    </message>
    <message id="detail.pipeline.title">
        <source>Processing</source>
        <translation>Procesamiento</translation>
    </message>
    <message id="detail.pipeline.transcription">
        <source>Transcription</source>
        <translation>Transcripción</translation>
    </message>
    <message id="detail.pipeline.screenshots">
        <source>Screenshots</source>
        <translation>Capturas</translation>
    </message>
    <message id="player.pause">
        <source>Pause (Space)</source>
        <translation>Pausa (Espacio)</translation>
    </message>
    <message id="player.play">
        <source>Play (Space)</source>
        <translation>Reproducir (Espacio)</translation>
    </message>
    <message id="player.scrubber">
        <source>Position (Left and Right move 5 seconds)</source>
        <translation>Posición (las flechas izquierda y derecha mueven 5 segundos)</translation>
    </message>
    <message id="player.speed">
        <source>Speed</source>
        <translation>Velocidad</translation>
    </message>
</context>
</TS>
