<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name></name>
    <message id="detail.retranscribe.confirm.title">
        <source>Transcribe Again?</source>
        <translation>Erneut transkribieren?</translation>
    </message>
    <message id="detail.retranscribe.confirm.message">
        <source>The transcript is made again with the model chosen below. Screenshots stay as they are; highlights and notes whose words change may no longer find their place.</source>
        <translation>Das Transkript wird mit dem unten gewählten Modell neu erstellt. Die Screenshots bleiben erhalten; Markierungen und Notizen, deren Wörter sich ändern, finden ihre Stelle unter Umständen nicht mehr.</translation>
    </message>
    <message id="detail.retranscribe.model.missing">
        <source>%1 (not downloaded)</source>
        <translation>%1 (nicht heruntergeladen)</translation>
    </message>
    <message id="detail.retranscribe.model">
        <source>Model:</source>
        <translation>Modell:</translation>
    </message>
    <message id="detail.retranscribe.confirm.proceed">
        <source>Transcribe Again</source>
        <translation>Erneut transkribieren</translation>
    </message>
    <message id="detail.retranscribe.confirm.cancel">
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message id="detail.alert.strip.title">
        <source>Remove Consolidated Notes?</source>
        <translation>Zusammengefasste Notizen entfernen?</translation>
    </message>
    <message id="detail.alert.strip.message">
        <source>The existing consolidated notes will be removed from the HTML output. You can re-enable consolidation to regenerate them.</source>
        <translation>Die vorhandenen zusammengefassten Notizen werden aus dem HTML-Dokument entfernt. Du kannst die Zusammenfassung wieder einschalten, um sie neu zu erzeugen.</translation>
    </message>
    <message id="detail.alert.strip.confirm">
        <source>Remove from HTML</source>
        <translation>Aus dem HTML entfernen</translation>
    </message>
    <message id="detail.alert.strip.keep">
        <source>Keep Notes</source>
        <translation>Notizen behalten</translation>
    </message>
    <message id="detail.alert.run.title">
        <source>Run Consolidation Now?</source>
        <translation>Jetzt zusammenfassen?</translation>
    </message>
    <message id="detail.alert.run.message">
        <source>A transcript is ready. Would you like to generate consolidated notes now?</source>
        <translation>Ein Transkript liegt vor. Möchtest du jetzt die zusammengefassten Notizen erstellen?</translation>
    </message>
    <message id="detail.alert.run.confirm">
        <source>Run Consolidation</source>
        <translation>Zusammenfassung starten</translation>
    </message>
    <message id="detail.alert.run.later">
        <source>Not Now</source>
        <translation>Nicht jetzt</translation>
    </message>
    <message id="detail.redownload.busy">
        <source>Downloading…</source>
        <translation>Wird geladen …</translation>
    </message>
    <message id="detail.redownload">
        <source>Download Again</source>
        <translation>Erneut herunterladen</translation>
    </message>
    <message id="detail.action.retranscribe">
        <source>Transcribe Again…</source>
        <translation>Erneut transkribieren …</translation>
    </message>
    <message id="detail.action.reexport">
        <source>Re-export</source>
        <translation>Erneut exportieren</translation>
    </message>
    <message id="detail.action.reexport.help">
        <source>Rebuild the study page from the stored transcript, screenshots, notes and annotations.</source>
        <translation>Baut die Lernseite aus dem gespeicherten Transkript, den Screenshots, Notizen und Anmerkungen neu auf.</translation>
    </message>
    <message id="detail.action.consolidate">
        <source>Make Study Notes Now</source>
        <translation>Notizen jetzt erstellen</translation>
    </message>
    <message id="detail.action.remove.notes">
        <source>Remove Study Notes…</source>
        <translation>Notizen entfernen …</translation>
    </message>
    <message id="player.add.to.transcript">
        <source>Add Frame to Transcript</source>
        <translation>Bild zum Transkript hinzufügen</translation>
    </message>
    <message id="player.add.to.transcript.help">
        <source>Adds the frame shown in the player to the screenshots.</source>
        <translation>Fügt das im Player gezeigte Bild zu den Screenshots hinzu.</translation>
    </message>
    <message id="detail.action.markdown">
        <source>Write Markdown</source>
        <translation>Als Markdown schreiben</translation>
    </message>
    <message id="detail.action.markdown.help">
        <source>Write a Markdown version of this lecture to the folder configured in Settings → Markdown.</source>
        <translation>Schreibt eine Markdown-Fassung dieser Vorlesung in den Ordner aus Einstellungen → Markdown.</translation>
    </message>
    <message id="detail.action.open.page">
        <source>Open Study Page</source>
        <translation>Lernseite öffnen</translation>
    </message>
    <message id="detail.action.show.folder">
        <source>Show in Folder</source>
        <translation>Im Ordner zeigen</translation>
    </message>
    <message id="detail.consolidation.mode">
        <source>Study notes:</source>
        <translation>Notizen:</translation>
    </message>
    <message id="detail.consolidation.mode.off">
        <source>Off</source>
        <translation>Aus</translation>
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
        <translation>Das Video wird zum Abspielen umgewandelt …</translation>
    </message>
    <message id="detail.source.missing">
        <source>The video file of this lecture is no longer where it was.</source>
        <translation>Die Videodatei dieser Vorlesung liegt nicht mehr an ihrem Ort.</translation>
    </message>
    <message id="detail.action.begin.processing">
        <source>Start Processing</source>
        <translation>Verarbeitung starten</translation>
    </message>
    <message id="detail.action.processing">
        <source>Process Again</source>
        <translation>Erneut verarbeiten</translation>
    </message>
    <message id="detail.pipeline.title">
        <source>Processing</source>
        <translation>Verarbeitung</translation>
    </message>
    <message id="detail.pipeline.transcription">
        <source>Transcription</source>
        <translation>Transkription</translation>
    </message>
    <message id="detail.pipeline.screenshots">
        <source>Screenshots</source>
        <translation>Bildschirmfotos</translation>
    </message>
    <message id="player.pause">
        <source>Pause (Space)</source>
        <translation>Pause (Leertaste)</translation>
    </message>
    <message id="player.play">
        <source>Play (Space)</source>
        <translation>Abspielen (Leertaste)</translation>
    </message>
    <message id="player.scrubber">
        <source>Position (Left and Right move 5 seconds)</source>
        <translation>Position (Pfeil links und rechts springen 5 Sekunden)</translation>
    </message>
    <message id="player.speed">
        <source>Speed</source>
        <translation>Tempo</translation>
    </message>
</context>
</TS>
