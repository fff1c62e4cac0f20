<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name></name>
    <message id="detail.retranscribe.confirm.title">
        <source>Transcribe Again?</source>
        <translation>Transcribe Again?</translation>
    </message>
    <message id="detail.retranscribe.confirm.message">
        <source>The transcript is made again with the model chosen below. Screenshots stay as they are; highlights and notes whose words change may no longer find their place.</source>
        <translation>The transcript is made again with the model chosen below. Screenshots stay as they are; highlights and notes whose words change may no longer find their place.</translation>
    </message>
    <message id="detail.retranscribe.model.missing">
        <source>%1 (not downloaded)</source>
        <translation>%1 (not downloaded)</translation>
    </message>
    <message id="detail.retranscribe.model">
        <source>Model:</source>
        <translation>Model:</translation>
    </message>
    <message id="detail.retranscribe.confirm.proceed">
        <source>Transcribe Again</source>
        <translation>Transcribe Again</translation>
    </message>
    <message id="detail.retranscribe.confirm.cancel">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="detail.alert.strip.title">
        <source>Remove Consolidated Notes?</source>
        <translation>Remove Consolidated Notes?</translation>
    </message>
    <message id="detail.alert.strip.message">
        <source>The existing consolidated notes will be removed from the HTML output. You can re-enable consolidation to regenerate them.</source>
        <translation>The existing consolidated notes will be removed from the HTML output. You can re-enable consolidation to regenerate them.</translation>
    </message>
    <message id="detail.alert.strip.confirm">
        <source>Remove from HTML</source>
        <translation>Remove from HTML</translation>
    </message>
    <message id="detail.alert.strip.keep">
        <source>Keep Notes</source>
        <translation>Keep Notes</translation>
    </message>
    <message id="detail.alert.run.title">
        <source>Run Consolidation Now?</source>
        <translation>Run Consolidation Now?</translation>
    </message>
    <message id="detail.alert.run.message">
        <source>A transcript is ready. Would you like to generate consolidated notes now?</source>
        <translation>A transcript is ready. Would you like to generate consolidated notes now?</translation>
    </message>
    <message id="detail.alert.run.confirm">
        <source>Run Consolidation</source>
        <translation>Run Consolidation</translation>
    </message>
    <message id="detail.alert.run.later">
        <source>Not Now</source>
        <translation>Not Now</translation>
    </message>
    <message id="detail.redownload.busy">
        <source>Downloading…</source>
        <translation>Downloading…</translation>
    </message>
    <message id="detail.redownload">
        <source>Download Again</source>
        <translation>Download Again</translation>
    </message>
    <message id="detail.action.retranscribe">
        <source>Transcribe Again…</source>
        <translation>Transcribe Again…</translation>
    </message>
    <message id="detail.action.reexport">
        <source>Re-export</source>
        <translation>Re-export</translation>
    </message>
    <message id="detail.action.reexport.help">
        <source>Rebuild the study page from the stored transcript, screenshots, notes and annotations.</source>
        <translation>Rebuild the study page from the stored transcript, screenshots, notes and annotations.</translation>
    </message>
    <message id="detail.action.consolidate">
        <source>Make Study Notes Now</source>
        <translation>Make Study Notes Now</translation>
    </message>
    <message id="detail.action.remove.notes">
        <source>Remove Study Notes…</source>
        <translation>Remove Study Notes…</translation>
    </message>
    <message id="player.add.to.transcript">
        <source>Add Frame to Transcript</source>
        <translation>Add Frame to Transcript</translation>
    </message>
    <message id="player.add.to.transcript.help">
        <source>Adds the frame shown in the player to the screenshots.</source>
        <translation>Adds the frame shown in the player to the screenshots.</translation>
    </message>
    <message id="detail.action.markdown">
        <source>Write Markdown</source>
        <translation>Write Markdown</translation>
    </message>
    <message id="detail.action.markdown.help">
        <source>Write a Markdown version of this lecture to the folder configured in Settings → Markdown.</source>
        <translation>Write a Markdown version of this lecture to the folder configured in Settings → Markdown.</translation>
    </message>
    <message id="detail.action.open.page">
        <source>Open Study Page</source>
        <translation>Open Study Page</translation>
    </message>
    <message id="detail.action.show.folder">
        <source>Show in Folder</source>
        <translation>Show in Folder</translation>
    </message>
    <message id="detail.consolidation.mode">
        <source>Study notes:</source>
        <translation>Study notes:</translation>
    </message>
    <message id="detail.consolidation.mode.off">
        <source>Off</source>
        <translation>Off</translation>
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
        <translation>Converting the video so that it can be played…</translation>
    </message>
    <message id="detail.source.missing">
        <source>The video file of this lecture is no longer where it was.</source>
        <translation>The video file of this lecture is no longer where it was.</translation>
    </message>
    <message id="detail.action.begin.processing">
        <source>Start Processing</source>
        <translation>Start Processing</translation>
    </message>
    <message id="detail.action.processing">
        <source>Process Again</source>
        <translation>Process Again</translation>
    </message>
    <message id="detail.pipeline.title">
        <source>Processing</source>
        <translation>Processing</translation>
    </message>
    <message id="detail.pipeline.transcription">
        <source>Transcription</source>
        <translation>Transcription</translation>
    </message>
    <message id="detail.pipeline.screenshots">
        <source>Screenshots</source>
        <translation>Screenshots</translation>
    </message>
    <message id="player.pause">
        <source>Pause (Space)</source>
        <translation>Pause (Space)</translation>
    </message>
    <message id="player.play">
        <source>Play (Space)</source>
        <translation>Play (Space)</translation>
    </message>
    <message id="player.scrubber">
        <source>Position (Left and Right move 5 seconds)</source>
        <translation>Position (Left and Right move 5 seconds)</translation>
    </message>
    <message id="player.speed">
        <source>Speed</source>
        <translation>Speed</translation>
    </message>
</context>
</TS>
