<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name></name>
    <message id="transcript.stats.passage.singular">
        <location filename="../TranscriptPanel.cpp" line="39"/>
        <source>passage</source>
        <translation>passage</translation>
    </message>
    <message id="transcript.stats.passage.plural">
        <location filename="../TranscriptPanel.cpp" line="41"/>
        <source>passages</source>
        <translation>passages</translation>
    </message>
    <message id="transcript.stats.word.singular">
        <location filename="../TranscriptPanel.cpp" line="43"/>
        <source>word</source>
        <translation>word</translation>
    </message>
    <message id="transcript.stats.word.plural">
        <location filename="../TranscriptPanel.cpp" line="45"/>
        <source>words</source>
        <translation>words</translation>
    </message>
    <message id="transcript.stats.screenshot.singular">
        <location filename="../TranscriptPanel.cpp" line="47"/>
        <source>screenshot</source>
        <translation>screenshot</translation>
    </message>
    <message id="transcript.stats.screenshot.plural">
        <location filename="../TranscriptPanel.cpp" line="49"/>
        <source>screenshots</source>
        <translation>screenshots</translation>
    </message>
    <message id="transcript.stats.reexport.needed">
        <location filename="../TranscriptPanel.cpp" line="51"/>
        <source>Re-export to update the study page</source>
        <translation>Re-export to update the study page</translation>
    </message>
    <message id="transcript.screenshot.open">
        <location filename="../TranscriptPanel.cpp" line="118"/>
        <source>Open large</source>
        <translation>Open large</translation>
    </message>
    <message id="transcript.screenshot.remove">
        <location filename="../TranscriptPanel.cpp" line="120"/>
        <location filename="../TranscriptPanel.cpp" line="492"/>
        <source>Remove screenshot</source>
        <translation>Remove screenshot</translation>
    </message>
    <message id="transcript.search.none">
        <location filename="../TranscriptPanel.cpp" line="466"/>
        <source>No matches</source>
        <translation>No matches</translation>
    </message>
    <message id="transcript.search.count">
        <location filename="../TranscriptPanel.cpp" line="469"/>
        <source>%1 of %2</source>
        <translation>%1 of %2</translation>
    </message>
    <message id="transcript.screenshot.title">
        <location filename="../TranscriptPanel.cpp" line="489"/>
        <source>Screenshot at %1</source>
        <translation>Screenshot at %1</translation>
    </message>
    <message id="transcript.screenshot.close">
        <location filename="../TranscriptPanel.cpp" line="494"/>
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message id="transcript.tab.transcript">
        <location filename="../TranscriptPanel.cpp" line="557"/>
        <source>Transcript</source>
        <translation>Transcript</translation>
    </message>
    <message id="transcript.tab.notes">
        <location filename="../TranscriptPanel.cpp" line="559"/>
        <source>Notes</source>
        <translation>Notes</translation>
    </message>
    <message id="transcript.empty.title">
        <location filename="../TranscriptPanel.cpp" line="561"/>
        <source>No transcript yet</source>
        <translation>No transcript yet</translation>
    </message>
    <message id="transcript.empty.select">
        <location filename="../TranscriptPanel.cpp" line="563"/>
        <source>Process the lecture to see its transcript here.</source>
        <translation>Process the lecture to see its transcript here.</translation>
    </message>
    <message id="transcript.search.placeholder">
        <location filename="../TranscriptPanel.cpp" line="565"/>
        <source>Search the transcript</source>
        <translation>Search the transcript</translation>
    </message>
    <message id="transcript.search.previous">
        <location filename="../TranscriptPanel.cpp" line="567"/>
        <source>Previous match</source>
        <translation>Previous match</translation>
    </message>
    <message id="transcript.search.next">
        <location filename="../TranscriptPanel.cpp" line="569"/>
        <source>Next match</source>
        <translation>Next match</translation>
    </message>
    <message id="transcript.action.find">
        <location filename="../TranscriptPanel.cpp" line="571"/>
        <source>Find in transcript</source>
        <translation>Find in transcript</translation>
    </message>
    <message id="transcript.action.copy">
        <location filename="../TranscriptPanel.cpp" line="573"/>
        <source>Copy transcript</source>
        <translation>Copy transcript</translation>
    </message>
    <message id="transcript.action.expand">
        <location filename="../TranscriptPanel.cpp" line="575"/>
        <source>Expand</source>
        <translation>Expand</translation>
    </message>
    <message id="transcript.notes.empty">
        <location filename="../TranscriptPanel.cpp" line="577"/>
        <source>No study notes yet</source>
        <translation>No study notes yet</translation>
    </message>
    <message id="transcript.notes.done">
        <location filename="../TranscriptPanel.cpp" line="579"/>
        <source>Done</source>
        <translation>Done</translation>
    </message>
    <message id="transcript.notes.edit">
        <location filename="../TranscriptPanel.cpp" line="581"/>
        <source>Edit notes</source>
        <translation>Edit notes</translation>
    </message>
    <message id="transcript.notes.addnote">
        <location filename="../TranscriptPanel.cpp" line="584"/>
        <source>Add note</source>
        <translation>Add note</translation>
    </message>
    <message id="transcript.note.edit.title">
        <location filename="../TranscriptPanel.cpp" line="586"/>
        <source>Edit note</source>
        <translation>Edit note</translation>
    </message>
    <message id="transcript.note.new.title">
        <location filename="../TranscriptPanel.cpp" line="588"/>
        <source>New note</source>
        <translation>New note</translation>
    </message>
    <message id="transcript.note.save">
        <location filename="../TranscriptPanel.cpp" line="591"/>
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message id="transcript.note.delete">
        <location filename="../TranscriptPanel.cpp" line="593"/>
        <source>Delete</source>
        <translation>Delete</translation>
    </message>
    <message id="transcript.note.cancel">
        <location filename="../TranscriptPanel.cpp" line="595"/>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="transcript.sheet.title">
        <location filename="../TranscriptPanel.cpp" line="597"/>
        <source>Expanded transcript</source>
        <translation>Expanded transcript</translation>
    </message>
    <message id="transcript.highlight.color.yellow">
        <location filename="../PassageAnnotator.cpp" line="41"/>
        <source>Yellow</source>
        <translation>Yellow</translation>
    </message>
    <message id="transcript.highlight.color.green">
        <location filename="../PassageAnnotator.cpp" line="44"/>
        <source>Green</source>
        <translation>Green</translation>
    </message>
    <message id="transcript.highlight.color.blue">
        <location filename="../PassageAnnotator.cpp" line="47"/>
        <source>Blue</source>
        <translation>Blue</translation>
    </message>
    <message id="transcript.highlight.color.pink">
        <location filename="../PassageAnnotator.cpp" line="50"/>
        <source>Pink</source>
        <translation>Pink</translation>
    </message>
    <message id="transcript.chip.highlight.delete">
        <location filename="../PassageAnnotator.cpp" line="214"/>
        <source>Delete highlight</source>
        <translation>Delete highlight</translation>
    </message>
    <message id="transcript.chip.margin.edit">
        <location filename="../PassageAnnotator.cpp" line="227"/>
        <source>Edit margin note</source>
        <translation>Edit margin note</translation>
    </message>
    <message id="transcript.chip.margin.delete">
        <location filename="../PassageAnnotator.cpp" line="229"/>
        <source>Delete margin note</source>
        <translation>Delete margin note</translation>
    </message>
    <message id="transcript.action.highlight">
        <location filename="../PassageAnnotator.cpp" line="273"/>
        <source>Highlight</source>
        <translation>Highlight</translation>
    </message>
    <message id="transcript.action.margin">
        <location filename="../PassageAnnotator.cpp" line="275"/>
        <source>Margin note</source>
        <translation>Margin note</translation>
    </message>
    <message id="transcript.highlight.picker">
        <location filename="../PassageAnnotator.cpp" line="277"/>
        <source>Highlight colour</source>
        <translation>Highlight colour</translation>
    </message>
    <message id="transcript.margin.anchor">
        <location filename="../PassageAnnotator.cpp" line="280"/>
        <source>Phrase to underline</source>
        <translation>Phrase to underline</translation>
    </message>
    <message id="transcript.margin.anchor.placeholder">
        <location filename="../PassageAnnotator.cpp" line="282"/>
        <source>Type or paste the exact phrase…</source>
        <translation>Type or paste the exact phrase…</translation>
    </message>
    <message id="transcript.margin.note">
        <location filename="../PassageAnnotator.cpp" line="284"/>
        <source>Note</source>
        <translation>Note</translation>
    </message>
    <message id="transcript.margin.side">
        <location filename="../PassageAnnotator.cpp" line="286"/>
        <source>Side</source>
        <translation>Side</translation>
    </message>
    <message id="transcript.margin.side.right">
        <location filename="../PassageAnnotator.cpp" line="288"/>
        <source>Right</source>
        <translation>Right</translation>
    </message>
    <message id="transcript.margin.side.left">
        <location filename="../PassageAnnotator.cpp" line="290"/>
        <source>Left</source>
        <translation>Left</translation>
    </message>
    <message id="transcript.margin.save">
        <location filename="../PassageAnnotator.cpp" line="292"/>
        <source>Save</source>
        <translation>Save</translation>
    </message>
    <message id="transcript.margin.add">
        <location filename="../PassageAnnotator.cpp" line="294"/>
        <source>Add note</source>
        <translation>Add note</translation>
    </message>
    <message id="transcript.margin.cancel">
        <location filename="../PassageAnnotator.cpp" line="297"/>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="workspace.undo.notes.edit">
        <location filename="../../workspace/LectureDocument.cpp" line="173"/>
        <source>Edit notes</source>
        <translation>Edit notes</translation>
    </message>
    <message id="workspace.undo.note.add">
        <location filename="../../workspace/LectureDocument.cpp" line="181"/>
        <source>Add note</source>
        <translation>Add note</translation>
    </message>
    <message id="workspace.undo.note.edit">
        <location filename="../../workspace/LectureDocument.cpp" line="193"/>
        <source>Edit note</source>
        <translation>Edit note</translation>
    </message>
    <message id="workspace.undo.note.delete">
        <location filename="../../workspace/LectureDocument.cpp" line="205"/>
        <source>Delete note</source>
        <translation>Delete note</translation>
    </message>
    <message id="workspace.undo.margin.add">
        <location filename="../../workspace/LectureDocument.cpp" line="215"/>
        <source>Add margin note</source>
        <translation>Add margin note</translation>
    </message>
    <message id="workspace.undo.margin.edit">
        <location filename="../../workspace/LectureDocument.cpp" line="230"/>
        <source>Edit margin note</source>
        <translation>Edit margin note</translation>
    </message>
    <message id="workspace.undo.margin.delete">
        <location filename="../../workspace/LectureDocument.cpp" line="242"/>
        <source>Delete margin note</source>
        <translation>Delete margin note</translation>
    </message>
    <message id="workspace.undo.highlight.add">
        <location filename="../../workspace/LectureDocument.cpp" line="251"/>
        <source>Add highlight</source>
        <translation>Add highlight</translation>
    </message>
    <message id="workspace.undo.highlight.delete">
        <location filename="../../workspace/LectureDocument.cpp" line="263"/>
        <source>Delete highlight</source>
        <translation>Delete highlight</translation>
    </message>
    <message id="workspace.undo.screenshot.remove">
        <location filename="../../workspace/LectureDocument.cpp" line="274"/>
        <source>Remove screenshot</source>
        <translation>Remove screenshot</translation>
    </message>
    <message id="workspace.undo.screenshot.add">
        <location filename="../../workspace/LectureDocument.cpp" line="283"/>
        <source>Add screenshot</source>
        <translation>Add screenshot</translation>
    </message>
    <message id="transcript.zone.tooltip">
        <location filename="../TranscriptTimelineModel.cpp" line="83"/>
        <source>Click to add a note here</source>
        <translation>Click to add a note here</translation>
    </message>
</context>
</TS>
