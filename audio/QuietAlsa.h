#pragma once

namespace audio {

// ALSA's library writes its errors to standard error itself ("ALSA lib ...
// cannot find card"), eight lines on a machine without a sound card each time
// SDL probes it. Routes them nowhere, for the whole process, when libasound
// is installed; does nothing otherwise. Call before SDL's audio starts, under
// the audio system's lock. SDL loads the same libasound.so.2, so the handler
// set here is the one its probe meets.
void silenceAlsaErrors();

} // namespace audio
