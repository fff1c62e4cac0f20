<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name></name>
    <message id="transcript.stats.passage.singular">
        <location filename="../TranscriptPanel.cpp" line="39"/>
        <source>passage</source>
        <translation>extrait</translation>
    </message>
    <message id="transcript.stats.passage.plural">
        <location filename="../TranscriptPanel.cpp" line="41"/>
        <source>passages</source>
        <translation>extraits</translation>
    </message>
    <message id="transcript.stats.word.singular">
        <location filename="../TranscriptPanel.cpp" line="43"/>
        <source>word</source>
        <translation>mot</translation>
    </message>
    <message id="transcript.stats.word.plural">
        <location filename="../TranscriptPanel.cpp" line="45"/>
        <source>words</source>
        <translation>mots</translation>
    </message>
    <message id="transcript.stats.screenshot.singular">
        <location filename="../TranscriptPanel.cpp" line="47"/>
        <source>screenshot</source>
        <translation>capture</translation>
    </message>
    <message id="transcript.stats.screenshot.plural">
        <location filename="../TranscriptPanel.cpp" line="49"/>
        <source>screenshots</source>
        <translation>captures</translation>
    </message>
    <message id="transcript.stats.reexport.needed">
        <location filename="../TranscriptPanel.cpp" line="51"/>
        <source>Re-export to update the study page</source>
        <translation>Exportez à nouveau pour mettre à jour la page d’étude</translation>
    </message>
    <message id="transcript.screenshot.open">
        <location filename="../TranscriptPanel.cpp" line="118"/>
        <source>Open large</source>
        <translation>Agrandir</translation>
    </message>
    <message id="transcript.screenshot.remove">
        <location filename="../TranscriptPanel.cpp" line="120"/>
        <location filename="../TranscriptPanel.cpp" line="492"/>
        <source>Remove screenshot</source>
        <translation>Supprimer la capture</translation>
    </message>
    <message id="transcript.search.none">
        <location filename="../TranscriptPanel.cpp" line="466"/>
        <source>No matches</source>
        <translation>Aucun résultat</translation>
    </message>
    <message id="transcript.search.count">
        <location filename="../TranscriptPanel.cpp" line="469"/>
        <source>%1 of %2</source>
        <translation>%1 sur %2</translation>
    </message>
    <message id="transcript.screenshot.title">
        <location filename="../TranscriptPanel.cpp" line="489"/>
        <source>Screenshot at %1</source>
        <translation>Capture à %1</translation>
    </message>
    <message id="transcript.screenshot.close">
        <location filename="../TranscriptPanel.cpp" line="494"/>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message id="transcript.tab.transcript">
        <location filename="../TranscriptPanel.cpp" line="557"/>
        <source>Transcript</source>
        <translation>Transcription</translation>
    </message>
    <message id="transcript.tab.notes">
        <location filename="../TranscriptPanel.cpp" line="559"/>
        <source>Notes</source>
        <translation>Notes de cours</translation>
    </message>
    <message id="transcript.empty.title">
        <location filename="../TranscriptPanel.cpp" line="561"/>
        <source>No transcript yet</source>
        <translation>Pas encore de transcription</translation>
    </message>
    <message id="transcript.empty.select">
        <location filename="../TranscriptPanel.cpp" line="563"/>
        <source>Process the lecture to see its transcript here.</source>
        <translation>Traitez le cours pour voir sa transcription ici.</translation>
    </message>
    <message id="transcript.search.placeholder">
        <location filename="../TranscriptPanel.cpp" line="565"/>
        <source>Search the transcript</source>
        <translation>Rechercher dans la transcription</translation>
    </message>
    <message id="transcript.search.previous">
        <location filename="../TranscriptPanel.cpp" line="567"/>
        <source>Previous match</source>
        <translation>Résultat précédent</translation>
    </message>
    <message id="transcript.search.next">
        <location filename="../TranscriptPanel.cpp" line="569"/>
        <source>Next match</source>
        <translation>Résultat suivant</translation>
    </message>
    <message id="transcript.action.find">
        <location filename="../TranscriptPanel.cpp" line="571"/>
        <source>Find in transcript</source>
        <translation>Rechercher dans la transcription</translation>
    </message>
    <message id="transcript.action.copy">
        <location filename="../TranscriptPanel.cpp" line="573"/>
        <source>Copy transcript</source>
        <translation>Copier la transcription</translation>
    </message>
    <message id="transcript.action.expand">
        <location filename="../TranscriptPanel.cpp" line="575"/>
        <source>Expand</source>
        <translation>Agrandir</translation>
    </message>
    <message id="transcript.notes.empty">
        <location filename="../TranscriptPanel.cpp" line="577"/>
        <source>No study notes yet</source>
        <translation>Pas encore de notes d’étude</translation>
    </message>
    <message id="transcript.notes.done">
        <location filename="../TranscriptPanel.cpp" line="579"/>
        <source>Done</source>
        <translation>Terminé</translation>
    </message>
    <message id="transcript.notes.edit">
        <location filename="../TranscriptPanel.cpp" line="581"/>
        <source>Edit notes</source>
        <translation>Modifier les notes</translation>
    </message>
    <message id="transcript.notes.addnote">
        <location filename="../TranscriptPanel.cpp" line="584"/>
        <source>Add note</source>
        <translation>Ajouter une note</translation>
    </message>
    <message id="transcript.note.edit.title">
        <location filename="../TranscriptPanel.cpp" line="586"/>
        <source>Edit note</source>
        <translation>Modifier la note</translation>
    </message>
    <message id="transcript.note.new.title">
        <location filename="../TranscriptPanel.cpp" line="588"/>
        <source>New note</source>
        <translation>Nouvelle note</translation>
    </message>
    <message id="transcript.note.save">
        <location filename="../TranscriptPanel.cpp" line="591"/>
        <source>Save</source>
        <translation>Enregistrer</translation>
    </message>
    <message id="transcript.note.delete">
        <location filename="../TranscriptPanel.cpp" line="593"/>
        <source>Delete</source>
        <translation>Supprimer</translation>
    </message>
    <message id="transcript.note.cancel">
        <location filename="../TranscriptPanel.cpp" line="595"/>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message id="transcript.sheet.title">
        <location filename="../TranscriptPanel.cpp" line="597"/>
        <source>Expanded transcript</source>
        <translation>Transcription agrandie</translation>
    </message>
    <message id="transcript.highlight.color.yellow">
        <location filename="../PassageAnnotator.cpp" line="41"/>
        <source>Yellow</source>
        <translation>Jaune</translation>
    </message>
    <message id="transcript.highlight.color.green">
        <location filename="../PassageAnnotator.cpp" line="44"/>
        <source>Green</source>
        <translation>Vert</translation>
    </message>
    <message id="transcript.highlight.color.blue">
        <location filename="../PassageAnnotator.cpp" line="47"/>
        <source>Blue</source>
        <translation>Bleu</translation>
    </message>
    <message id="transcript.highlight.color.pink">
        <location filename="../PassageAnnotator.cpp" line="50"/>
        <source>Pink</source>
        <translation>Rose</translation>
    </message>
    <message id="transcript.chip.highlight.delete">
        <location filename="../PassageAnnotator.cpp" line="214"/>
        <source>Delete highlight</source>
        <translation>Supprimer le surlignage</translation>
    </message>
    <message id="transcript.chip.margin.edit">
        <location filename="../PassageAnnotator.cpp" line="227"/>
        <source>Edit margin note</source>
        <translation>Modifier la note en marge</translation>
    </message>
    <message id="transcript.chip.margin.delete">
        <location filename="../PassageAnnotator.cpp" line="229"/>
        <source>Delete margin note</source>
        <translation>Supprimer la note en marge</translation>
    </message>
    <message id="transcript.action.highlight">
        <location filename="../PassageAnnotator.cpp" line="273"/>
        <source>Highlight</source>
        <translation>Surligner</translation>
    </message>
    <message id="transcript.action.margin">
        <location filename="../PassageAnnotator.cpp" line="275"/>
        <source>Margin note</source>
        <translation>Note en marge</translation>
    </message>
    <message id="transcript.highlight.picker">
        <location filename="../PassageAnnotator.cpp" line="277"/>
        <source>Highlight colour</source>
        <translation>Couleur de surlignage</translation>
    </message>
    <message id="transcript.margin.anchor">
        <location filename="../PassageAnnotator.cpp" line="280"/>
        <source>Phrase to underline</source>
        <translation>Passage à souligner</translation>
    </message>
    <message id="transcript.margin.anchor.placeholder">
        <location filename="../PassageAnnotator.cpp" line="282"/>
        <source>Type or paste the exact phrase…</source>
        <translation>Saisissez ou collez le passage exact…</translation>
    </message>
    <message id="transcript.margin.note">
        <location filename="../PassageAnnotator.cpp" line="284"/>
        <source>Note</source>
        <translation>Texte de la note</translation>
    </message>
    <message id="transcript.margin.side">
        <location filename="../PassageAnnotator.cpp" line="286"/>
        <source>Side</source>
        <translation>Côté</translation>
    </message>
    <message id="transcript.margin.side.right">
        <location filename="../PassageAnnotator.cpp" line="288"/>
        <source>Right</source>
        <translation>Droite</translation>
    </message>
    <message id="transcript.margin.side.left">
        <location filename="../PassageAnnotator.cpp" line="290"/>
        <source>Left</source>
        <translation>Gauche</translation>
    </message>
    <message id="transcript.margin.save">
        <location filename="../PassageAnnotator.cpp" line="292"/>
        <source>Save</source>
        <translation>Enregistrer</translation>
    </message>
    <message id="transcript.margin.add">
        <location filename="../PassageAnnotator.cpp" line="294"/>
        <source>Add note</source>
        <translation>Ajouter la note</translation>
    </message>
    <message id="transcript.margin.cancel">
        <location filename="../PassageAnnotator.cpp" line="297"/>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message id="workspace.undo.notes.edit">
        <location filename="../../workspace/LectureDocument.cpp" line="173"/>
        <source>Edit notes</source>
        <translation>modifier les notes</translation>
    </message>
    <message id="workspace.undo.note.add">
        <location filename="../../workspace/LectureDocument.cpp" line="181"/>
        <source>Add note</source>
        <translation>ajout de note</translation>
    </message>
    <message id="workspace.undo.note.edit">
        <location filename="../../workspace/LectureDocument.cpp" line="193"/>
        <source>Edit note</source>
        <translation>modification de note</translation>
    </message>
    <message id="workspace.undo.note.delete">
        <location filename="../../workspace/LectureDocument.cpp" line="205"/>
        <source>Delete note</source>
        <translation>suppression de note</translation>
    </message>
    <message id="workspace.undo.margin.add">
        <location filename="../../workspace/LectureDocument.cpp" line="215"/>
        <source>Add margin note</source>
        <translation>ajout de note en marge</translation>
    </message>
    <message id="workspace.undo.margin.edit">
        <location filename="../../workspace/LectureDocument.cpp" line="230"/>
        <source>Edit margin note</source>
        <translation>modification de note en marge</translation>
    </message>
    <message id="workspace.undo.margin.delete">
        <location filename="../../workspace/LectureDocument.cpp" line="242"/>
        <source>Delete margin note</source>
        <translation>suppression de note en marge</translation>
    </message>
    <message id="workspace.undo.highlight.add">
        <location filename="../../workspace/LectureDocument.cpp" line="251"/>
        <source>Add highlight</source>
        <translation>surlignage</translation>
    </message>
    <message id="workspace.undo.highlight.delete">
        <location filename="../../workspace/LectureDocument.cpp" line="263"/>
        <source>Delete highlight</source>
        <translation>suppression du surlignage</translation>
    </message>
    <message id="workspace.undo.screenshot.remove">
        <location filename="../../workspace/LectureDocument.cpp" line="274"/>
        <source>Remove screenshot</source>
        <translation>suppression de capture</translation>
    </message>
    <message id="workspace.undo.screenshot.add">
        <location filename="../../workspace/LectureDocument.cpp" line="283"/>
        <source>Add screenshot</source>
        <translation>ajout de capture</translation>
    </message>
    <message id="transcript.zone.tooltip">
        <location filename="../TranscriptTimelineModel.cpp" line="83"/>
        <source>Click to add a note here</source>
        <translation>Cliquez pour ajouter une note ici</translation>
    </message>
</context>
</TS>
