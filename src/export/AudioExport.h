#pragma once

// The lecture's audio as an M4A file for the study page's player: the audio
// stream is copied when it is already AAC and encoded to AAC otherwise.

#include <QString>

#include <atomic>

namespace lumenote {

// Writes the best audio stream of `videoPath` to `outputPath` (replacing it;
// the file appears only when complete). Throws Error: "Could not create audio
// export session." when the input cannot be opened or has no audio, or a text
// beginning "Unexpected terminal status " when the export fails part-way or
// `cancel` is raised. Blocking; call it off the main thread.
void exportAudioM4A(const QString& videoPath, const QString& outputPath, const std::atomic<bool>* cancel = nullptr);

}  // namespace lumenote
