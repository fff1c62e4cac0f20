<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it">
<context>
    <name></name>
    <message id="detail.retranscribe.confirm.title">
        <source>Transcribe Again?</source>
        <translation>Trascrivere di nuovo?</translation>
    </message>
    <message id="detail.retranscribe.confirm.message">
        <source>The transcript is made again with the model chosen below. Screenshots stay as they are; highlights and notes whose words change may no longer find their place.</source>
        <translation>La trascrizione verrà rifatta con il modello scelto qui sotto. Le schermate restano come sono; evidenziazioni e note le cui parole cambiano potrebbero non ritrovare più il loro posto.</translation>
    </message>
    <message id="detail.retranscribe.model.missing">
        <source>%1 (not downloaded)</source>
        <translation>%1 (non scaricato)</translation>
    </message>
    <message id="detail.retranscribe.model">
        <source>Model:</source>
        <translation>Modello:</translation>
    </message>
    <message id="detail.retranscribe.confirm.proceed">
        <source>Transcribe Again</source>
        <translation>Trascrivi di nuovo</translation>
    </message>
    <message id="detail.retranscribe.confirm.cancel">
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
    <message id="detail.alert.strip.title">
        <source>Remove Consolidated Notes?</source>
        <translation>Rimuovere gli appunti consolidati?</translation>
    </message>
    <message id="detail.alert.strip.message">
        <source>The existing consolidated notes will be removed from the HTML output. You can re-enable consolidation to regenerate them.</source>
        <translation>Gli appunti consolidati esistenti verranno rimossi dal documento HTML. Puoi riattivare il consolidamento per generarli di nuovo.</translation>
    </message>
    <message id="detail.alert.strip.confirm">
        <source>Remove from HTML</source>
        <translation>Rimuovi dall’HTML</translation>
    </message>
    <message id="detail.alert.strip.keep">
        <source>Keep Notes</source>
        <translation>Mantieni gli appunti</translation>
    </message>
    <message id="detail.alert.run.title">
        <source>Run Consolidation Now?</source>
        <translation>Avviare ora il consolidamento?</translation>
    </message>
    <message id="detail.alert.run.message">
        <source>A transcript is ready. Would you like to generate consolidated notes now?</source>
        <translation>Una trascrizione è pronta. Vuoi generare ora gli appunti consolidati?</translation>
    </message>
    <message id="detail.alert.run.confirm">
        <source>Run Consolidation</source>
        <translation>Avvia il consolidamento</translation>
    </message>
    <message id="detail.alert.run.later">
        <source>Not Now</source>
        <translation>Non ora</translation>
    </message>
    <message id="detail.redownload.busy">
        <source>Downloading…</source>
        <translation>Download in corso…</translation>
    </message>
    <message id="detail.redownload">
        <source>Download Again</source>
        <translation>Scarica di nuovo</translation>
    </message>
    <message id="detail.action.retranscribe">
        <source>Transcribe Again…</source>
        <translation>Trascrivi di nuovo…</translation>
    </message>
    <message id="detail.action.reexport">
        <source>Re-export</source>
        <translation>Esporta di nuovo</translation>
    </message>
    <message id="detail.action.reexport.help">
        <source>Rebuild the study page from the stored transcript, screenshots, notes and annotations.</source>
        <translation>Ricostruisce la pagina di studio da trascrizione, schermate, appunti e annotazioni salvati.</translation>
    </message>
    <message id="detail.action.consolidate">
        <source>Make Study Notes Now</source>
        <translation>Crea gli appunti ora</translation>
    </message>
    <message id="detail.action.remove.notes">
        <source>Remove Study Notes…</source>
        <translation>Rimuovi gli appunti…</translation>
    </message>
    <message id="player.add.to.transcript">
        <source>Add Frame to Transcript</source>
        <translation>Aggiungi il fotogramma alla trascrizione</translation>
    </message>
    <message id="player.add.to.transcript.help">
        <source>Adds the frame shown in the player to the screenshots.</source>
        <translation>Aggiunge alle schermate il fotogramma mostrato nel lettore.</translation>
    </message>
    <message id="detail.action.markdown">
        <source>Write Markdown</source>
        <translation>Scrivi in Markdown</translation>
    </message>
    <message id="detail.action.markdown.help">
        <source>Write a Markdown version of this lecture to the folder configured in Settings → Markdown.</source>
        <translation>Scrive una versione Markdown di questa lezione nella cartella impostata in Impostazioni → Markdown.</translation>
    </message>
    <message id="detail.action.open.page">
        <source>Open Study Page</source>
        <translation>Apri la pagina di studio</translation>
    </message>
    <message id="detail.action.show.folder">
        <source>Show in Folder</source>
        <translation>Mostra nella cartella</translation>
    </message>
    <message id="detail.consolidation.mode">
        <source>Study notes:</source>
        <translation>Appunti:</translation>
    </message>
    <message id="detail.consolidation.mode.off">
        <source>Off</source>
        <translation>Disattivati</translation>
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
        <translation>Conversione del video per poterlo riprodurre…</translation>
    </message>
    <message id="detail.source.missing">
        <source>The video file of this lecture is no longer where it was.</source>
        <translation>Il file video di questa lezione non si trova più dov’era.</translation>
    </message>
    <message id="detail.action.begin.processing">
        <source>Start Processing</source>
        <translation>Avvia l’elaborazione</translation>
    </message>
    <message id="detail.action.processing">
        <source>Process Again</source>
        <translation>Elabora di nuovo</translation>
    </message>
    <message id="detail.pipeline.title">
        <source>Processing</source>
        <translation>Elaborazione</translation>
    </message>
    <message id="detail.pipeline.transcription">
        <source>Transcription</source>
        <translation>Trascrizione</translation>
    </message>
    <message id="detail.pipeline.screenshots">
        <source>Screenshots</source>
        <translation>Schermate</translation>
    </message>
    <message id="player.pause">
        <source>Pause (Space)</source>
        <translation>Pausa (Spazio)</translation>
    </message>
    <message id="player.play">
        <source>Play (Space)</source>
        <translation>Riproduci (Spazio)</translation>
    </message>
    <message id="player.scrubber">
        <source>Position (Left and Right move 5 seconds)</source>
        <translation>Posizione (le frecce sinistra e destra spostano di 5 secondi)</translation>
    </message>
    <message id="player.speed">
        <source>Speed</source>
        <translation>Velocità</translation>
    </message>
</context>
</TS>
