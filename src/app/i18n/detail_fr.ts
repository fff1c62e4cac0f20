<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name></name>
    <message id="detail.retranscribe.confirm.title">
        <source>Transcribe Again?</source>
        <translation>Transcrire à nouveau ?</translation>
    </message>
    <message id="detail.retranscribe.confirm.message">
        <source>The transcript is made again with the model chosen below. Screenshots stay as they are; highlights and notes whose words change may no longer find their place.</source>
        <translation>La transcription sera refaite avec le modèle choisi ci-dessous. Les captures d’écran sont conservées ; les surlignages et les notes dont les mots changent risquent de ne plus retrouver leur place.</translation>
    </message>
    <message id="detail.retranscribe.model.missing">
        <source>%1 (not downloaded)</source>
        <translation>%1 (non téléchargé)</translation>
    </message>
    <message id="detail.retranscribe.model">
        <source>Model:</source>
        <translation>Modèle :</translation>
    </message>
    <message id="detail.retranscribe.confirm.proceed">
        <source>Transcribe Again</source>
        <translation>Transcrire à nouveau</translation>
    </message>
    <message id="detail.retranscribe.confirm.cancel">
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message id="detail.alert.strip.title">
        <source>Remove Consolidated Notes?</source>
        <translation>Supprimer les notes consolidées ?</translation>
    </message>
    <message id="detail.alert.strip.message">
        <source>The existing consolidated notes will be removed from the HTML output. You can re-enable consolidation to regenerate them.</source>
        <translation>Les notes consolidées existantes seront retirées du document HTML. Vous pourrez réactiver la consolidation pour les régénérer.</translation>
    </message>
    <message id="detail.alert.strip.confirm">
        <source>Remove from HTML</source>
        <translation>Retirer du HTML</translation>
    </message>
    <message id="detail.alert.strip.keep">
        <source>Keep Notes</source>
        <translation>Garder les notes</translation>
    </message>
    <message id="detail.alert.run.title">
        <source>Run Consolidation Now?</source>
        <translation>Lancer la consolidation maintenant ?</translation>
    </message>
    <message id="detail.alert.run.message">
        <source>A transcript is ready. Would you like to generate consolidated notes now?</source>
        <translation>Une transcription est prête. Voulez-vous générer les notes consolidées maintenant ?</translation>
    </message>
    <message id="detail.alert.run.confirm">
        <source>Run Consolidation</source>
        <translation>Lancer la consolidation</translation>
    </message>
    <message id="detail.alert.run.later">
        <source>Not Now</source>
        <translation>Plus tard</translation>
    </message>
    <message id="detail.redownload.busy">
        <source>Downloading…</source>
        <translation>Téléchargement…</translation>
    </message>
    <message id="detail.redownload">
        <source>Download Again</source>
        <translation>Télécharger à nouveau</translation>
    </message>
    <message id="detail.action.retranscribe">
        <source>Transcribe Again…</source>
        <translation>Transcrire à nouveau…</translation>
    </message>
    <message id="detail.action.reexport">
        <source>Re-export</source>
        <translation>Réexporter</translation>
    </message>
    <message id="detail.action.reexport.help">
        <source>Rebuild the study page from the stored transcript, screenshots, notes and annotations.</source>
        <translation>Reconstruit la page d’étude à partir de la transcription, des captures, des notes et des annotations enregistrées.</translation>
    </message>
    <message id="detail.action.consolidate">
        <source>Make Study Notes Now</source>
        <translation>Créer les notes maintenant</translation>
    </message>
    <message id="detail.action.remove.notes">
        <source>Remove Study Notes…</source>
        <translation>Retirer les notes…</translation>
    </message>
    <message id="player.add.to.transcript">
        <source>Add Frame to Transcript</source>
        <translation>Ajouter l’image à la transcription</translation>
    </message>
    <message id="player.add.to.transcript.help">
        <source>Adds the frame shown in the player to the screenshots.</source>
        <translation>Ajoute aux captures l’image affichée dans le lecteur.</translation>
    </message>
    <message id="detail.action.markdown">
        <source>Write Markdown</source>
        <translation>Écrire en Markdown</translation>
    </message>
    <message id="detail.action.markdown.help">
        <source>Write a Markdown version of this lecture to the folder configured in Settings → Markdown.</source>
        <translation>Écrit une version Markdown de ce cours dans le dossier défini dans Réglages → Markdown.</translation>
    </message>
    <message id="detail.action.open.page">
        <source>Open Study Page</source>
        <translation>Ouvrir la page d’étude</translation>
    </message>
    <message id="detail.action.show.folder">
        <source>Show in Folder</source>
        <translation>Afficher dans le dossier</translation>
    </message>
    <message id="detail.consolidation.mode">
        <source>Study notes:</source>
        <translation>Notes :</translation>
    </message>
    <message id="detail.consolidation.mode.off">
        <source>Off</source>
        <translation>Désactivées</translation>
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
        <translation>Conversion de la vidéo pour pouvoir la lire…</translation>
    </message>
    <message id="detail.source.missing">
        <source>The video file of this lecture is no longer where it was.</source>
        <translation>Le fichier vidéo de ce cours n’est plus à son emplacement.</translation>
    </message>
    <message id="detail.action.begin.processing">
        <source>Start Processing</source>
        <translation>Lancer le traitement</translation>
    </message>
    <message id="detail.action.processing">
        <source>Process Again</source>
        <translation>Traiter à nouveau</translation>
    </message>
    <message id="detail.pipeline.title">
        <source>Processing</source>
        <translation>Traitement</translation>
    </message>
    <message id="detail.pipeline.transcription">
        <source>Transcription</source>
        <translation>Transcription audio</translation>
    </message>
    <message id="detail.pipeline.screenshots">
        <source>Screenshots</source>
        <translation>Captures d’écran</translation>
    </message>
    <message id="player.pause">
        <source>Pause (Space)</source>
        <translation>Pause (Espace)</translation>
    </message>
    <message id="player.play">
        <source>Play (Space)</source>
        <translation>Lecture (Espace)</translation>
    </message>
    <message id="player.scrubber">
        <source>Position (Left and Right move 5 seconds)</source>
        <translation>Position (les flèches gauche et droite avancent ou reculent de 5 secondes)</translation>
    </message>
    <message id="player.speed">
        <source>Speed</source>
        <translation>Vitesse</translation>
    </message>
</context>
</TS>
