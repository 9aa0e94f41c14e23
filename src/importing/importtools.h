#pragma once

#include "content/lessonimport.h"

// The tools importLesson() runs with in the programs: FFmpeg reads and converts the audio
// (and the subtitle tracks of a video file, the English and Chinese ones flagged by the rule
// of content/trackchoice.h), the recogniser finds a plain text's sentences.
// Each call gives fresh tools; they may be used on any one thread at a time.
AudioTools lessonImportTools();
