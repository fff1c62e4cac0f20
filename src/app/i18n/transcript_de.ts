<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name></name>
    <message id="transcript.stats.passage.singular">
        <location filename="../TranscriptPanel.cpp" line="39"/>
        <source>passage</source>
        <translation>Abschnitt</translation>
    </message>
    <message id="transcript.stats.passage.plural">
        <location filename="../TranscriptPanel.cpp" line="41"/>
        <source>passages</source>
        <translation>Abschnitte</translation>
    </message>
    <message id="transcript.stats.word.singular">
        <location filename="../TranscriptPanel.cpp" line="43"/>
        <source>word</source>
        <translation>Wort</translation>
    </message>
    <message id="transcript.stats.word.plural">
        <location filename="../TranscriptPanel.cpp" line="45"/>
        <source>words</source>
        <translation>Wörter</translation>
    </message>
    <message id="transcript.stats.screenshot.singular">
        <location filename="../TranscriptPanel.cpp" line="47"/>
        <source>screenshot</source>
        <translation>Bildschirmfoto</translation>
    </message>
    <message id="transcript.stats.screenshot.plural">
        <location filename="../TranscriptPanel.cpp" line="49"/>
        <source>screenshots</source>
        <translation>Bildschirmfotos</translation>
    </message>
    <message id="transcript.stats.reexport.needed">
        <location filename="../TranscriptPanel.cpp" line="51"/>
        <source>Re-export to update the study page</source>
        <translation>Erneut exportieren, um die Lernseite zu aktualisieren</translation>
    </message>
    <message id="transcript.screenshot.open">
        <location filename="../TranscriptPanel.cpp" line="118"/>
        <source>Open large</source>
        <translation>Groß anzeigen</translation>
    </message>
    <message id="transcript.screenshot.remove">
        <location filename="../TranscriptPanel.cpp" line="120"/>
        <location filename="../TranscriptPanel.cpp" line="492"/>
        <source>Remove screenshot</source>
        <translation>Bildschirmfoto entfernen</translation>
    </message>
    <message id="transcript.search.none">
        <location filename="../TranscriptPanel.cpp" line="466"/>
        <source>No matches</source>
        <translation>Keine Treffer</translation>
    </message>
    <message id="transcript.search.count">
        <location filename="../TranscriptPanel.cpp" line="469"/>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message id="transcript.screenshot.title">
        <location filename="../TranscriptPanel.cpp" line="489"/>
        <source>Screenshot at %1</source>
        <translation>Bildschirmfoto bei %1</translation>
    </message>
    <message id="transcript.screenshot.close">
        <location filename="../TranscriptPanel.cpp" line="494"/>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message id="transcript.tab.transcript">
        <location filename="../TranscriptPanel.cpp" line="557"/>
        <source>Transcript</source>
        <translation>Transkript</translation>
    </message>
    <message id="transcript.tab.notes">
        <location filename="../TranscriptPanel.cpp" line="559"/>
        <source>Notes</source>
        <translation>Notizen</translation>
    </message>
    <message id="transcript.empty.title">
        <location filename="../TranscriptPanel.cpp" line="561"/>
        <source>No transcript yet</source>
        <translation>Noch kein Transkript</translation>
    </message>
    <message id="transcript.empty.select">
        <location filename="../TranscriptPanel.cpp" line="563"/>
        <source>Process the lecture to see its transcript here.</source>
        <translation>Verarbeite die Vorlesung, um ihr Transkript hier zu sehen.</translation>
    </message>
    <message id="transcript.search.placeholder">
        <location filename="../TranscriptPanel.cpp" line="565"/>
        <source>Search the transcript</source>
        <translation>Im Transkript suchen</translation>
    </message>
    <message id="transcript.search.previous">
        <location filename="../TranscriptPanel.cpp" line="567"/>
        <source>Previous match</source>
        <translation>Vorheriger Treffer</translation>
    </message>
    <message id="transcript.search.next">
        <location filename="../TranscriptPanel.cpp" line="569"/>
        <source>Next match</source>
        <translation>Nächster Treffer</translation>
    </message>
    <message id="transcript.action.find">
        <location filename="../TranscriptPanel.cpp" line="571"/>
        <source>Find in transcript</source>
        <translation>Im Transkript suchen</translation>
    </message>
    <message id="transcript.action.copy">
        <location filename="../TranscriptPanel.cpp" line="573"/>
        <source>Copy transcript</source>
        <translation>Transkript kopieren</translation>
    </message>
    <message id="transcript.action.expand">
        <location filename="../TranscriptPanel.cpp" line="575"/>
        <source>Expand</source>
        <translation>Vergrößern</translation>
    </message>
    <message id="transcript.notes.empty">
        <location filename="../TranscriptPanel.cpp" line="577"/>
        <source>No study notes yet</source>
        <translation>Noch keine Lernnotizen</translation>
    </message>
    <message id="transcript.notes.done">
        <location filename="../TranscriptPanel.cpp" line="579"/>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message id="transcript.notes.edit">
        <location filename="../TranscriptPanel.cpp" line="581"/>
        <source>Edit notes</source>
        <translation>Notizen bearbeiten</translation>
    </message>
    <message id="transcript.notes.addnote">
        <location filename="../TranscriptPanel.cpp" line="584"/>
        <source>Add note</source>
        <translation>Notiz hinzufügen</translation>
    </message>
    <message id="transcript.note.edit.title">
        <location filename="../TranscriptPanel.cpp" line="586"/>
        <source>Edit note</source>
        <translation>Notiz bearbeiten</translation>
    </message>
    <message id="transcript.note.new.title">
        <location filename="../TranscriptPanel.cpp" line="588"/>
        <source>New note</source>
        <translation>Neue Notiz</translation>
    </message>
    <message id="transcript.note.save">
        <location filename="../TranscriptPanel.cpp" line="591"/>
        <source>Save</source>
        <translation>Sichern</translation>
    </message>
    <message id="transcript.note.delete">
        <location filename="../TranscriptPanel.cpp" line="593"/>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message id="transcript.note.cancel">
        <location filename="../TranscriptPanel.cpp" line="595"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message id="transcript.sheet.title">
        <location filename="../TranscriptPanel.cpp" line="597"/>
        <source>Expanded transcript</source>
        <translation>Vergrößertes Transkript</translation>
    </message>
    <message id="transcript.highlight.color.yellow">
        <location filename="../PassageAnnotator.cpp" line="41"/>
        <source>Yellow</source>
        <translation>Gelb</translation>
    </message>
    <message id="transcript.highlight.color.green">
        <location filename="../PassageAnnotator.cpp" line="44"/>
        <source>Green</source>
        <translation>Grün</translation>
    </message>
    <message id="transcript.highlight.color.blue">
        <location filename="../PassageAnnotator.cpp" line="47"/>
        <source>Blue</source>
        <translation>Blau</translation>
    </message>
    <message id="transcript.highlight.color.pink">
        <location filename="../PassageAnnotator.cpp" line="50"/>
        <source>Pink</source>
        <translation>Rosa</translation>
    </message>
    <message id="transcript.chip.highlight.delete">
        <location filename="../PassageAnnotator.cpp" line="214"/>
        <source>Delete highlight</source>
        <translation>Markierung löschen</translation>
    </message>
    <message id="transcript.chip.margin.edit">
        <location filename="../PassageAnnotator.cpp" line="227"/>
        <source>Edit margin note</source>
        <translation>Randnotiz bearbeiten</translation>
    </message>
    <message id="transcript.chip.margin.delete">
        <location filename="../PassageAnnotator.cpp" line="229"/>
        <source>Delete margin note</source>
        <translation>Randnotiz löschen</translation>
    </message>
    <message id="transcript.action.highlight">
        <location filename="../PassageAnnotator.cpp" line="273"/>
        <source>Highlight</source>
        <translation>Markieren</translation>
    </message>
    <message id="transcript.action.margin">
        <location filename="../PassageAnnotator.cpp" line="275"/>
        <source>Margin note</source>
        <translation>Randnotiz</translation>
    </message>
    <message id="transcript.highlight.picker">
        <location filename="../PassageAnnotator.cpp" line="277"/>
        <source>Highlight colour</source>
        <translation>Markierungsfarbe</translation>
    </message>
    <message id="transcript.margin.anchor">
        <location filename="../PassageAnnotator.cpp" line="280"/>
        <source>Phrase to underline</source>
        <translation>Zu unterstreichender Satzteil</translation>
    </message>
    <message id="transcript.margin.anchor.placeholder">
        <location filename="../PassageAnnotator.cpp" line="282"/>
        <source>Type or paste the exact phrase…</source>
        <translation>Genauen Satzteil eingeben oder einfügen…</translation>
    </message>
    <message id="transcript.margin.note">
        <location filename="../PassageAnnotator.cpp" line="284"/>
        <source>Note</source>
        <translation>Notiz</translation>
    </message>
    <message id="transcript.margin.side">
        <location filename="../PassageAnnotator.cpp" line="286"/>
        <source>Side</source>
        <translation>Seite</translation>
    </message>
    <message id="transcript.margin.side.right">
        <location filename="../PassageAnnotator.cpp" line="288"/>
        <source>Right</source>
        <translation>Rechts</translation>
    </message>
    <message id="transcript.margin.side.left">
        <location filename="../PassageAnnotator.cpp" line="290"/>
        <source>Left</source>
        <translation>Links</translation>
    </message>
    <message id="transcript.margin.save">
        <location filename="../PassageAnnotator.cpp" line="292"/>
        <source>Save</source>
        <translation>Sichern</translation>
    </message>
    <message id="transcript.margin.add">
        <location filename="../PassageAnnotator.cpp" line="294"/>
        <source>Add note</source>
        <translation>Notiz hinzufügen</translation>
    </message>
    <message id="transcript.margin.cancel">
        <location filename="../PassageAnnotator.cpp" line="297"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message id="workspace.undo.notes.edit">
        <location filename="../../workspace/LectureDocument.cpp" line="173"/>
        <source>Edit notes</source>
        <translation>Notizen bearbeiten</translation>
    </message>
    <message id="workspace.undo.note.add">
        <location filename="../../workspace/LectureDocument.cpp" line="181"/>
        <source>Add note</source>
        <translation>Notiz hinzufügen</translation>
    </message>
    <message id="workspace.undo.note.edit">
        <location filename="../../workspace/LectureDocument.cpp" line="193"/>
        <source>Edit note</source>
        <translation>Notiz bearbeiten</translation>
    </message>
    <message id="workspace.undo.note.delete">
        <location filename="../../workspace/LectureDocument.cpp" line="205"/>
        <source>Delete note</source>
        <translation>Notiz löschen</translation>
    </message>
    <message id="workspace.undo.margin.add">
        <location filename="../../workspace/LectureDocument.cpp" line="215"/>
        <source>Add margin note</source>
        <translation>Randnotiz hinzufügen</translation>
    </message>
    <message id="workspace.undo.margin.edit">
        <location filename="../../workspace/LectureDocument.cpp" line="230"/>
        <source>Edit margin note</source>
        <translation>Randnotiz bearbeiten</translation>
    </message>
    <message id="workspace.undo.margin.delete">
        <location filename="../../workspace/LectureDocument.cpp" line="242"/>
        <source>Delete margin note</source>
        <translation>Randnotiz löschen</translation>
    </message>
    <message id="workspace.undo.highlight.add">
        <location filename="../../workspace/LectureDocument.cpp" line="251"/>
        <source>Add highlight</source>
        <translation>Markierung hinzufügen</translation>
    </message>
    <message id="workspace.undo.highlight.delete">
        <location filename="../../workspace/LectureDocument.cpp" line="263"/>
        <source>Delete highlight</source>
        <translation>Markierung löschen</translation>
    </message>
    <message id="workspace.undo.screenshot.remove">
        <location filename="../../workspace/LectureDocument.cpp" line="274"/>
        <source>Remove screenshot</source>
        <translation>Bildschirmfoto entfernen</translation>
    </message>
    <message id="workspace.undo.screenshot.add">
        <location filename="../../workspace/LectureDocument.cpp" line="283"/>
        <source>Add screenshot</source>
        <translation>Bildschirmfoto hinzufügen</translation>
    </message>
    <message id="transcript.zone.tooltip">
        <location filename="../TranscriptTimelineModel.cpp" line="83"/>
        <source>Click to add a note here</source>
        <translation>Klicken, um hier eine Notiz hinzuzufügen</translation>
    </message>
</context>
</TS>
