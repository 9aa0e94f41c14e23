#pragma once

#include <functional>

// What sentence playback, full-text reading and the speed choice ask of the window. Every
// hook may be empty; it is then skipped. Hooks run on the window thread inside a handler.
struct PlaybackHooks {
    // Keyboard focus to the hidden key-capture box Combo4 (its Up and Down keys scroll the
    // lesson panel).
    std::function<void()> focusCombo4;
    // Keyboard focus to the typing box of sentence study and dictation.
    std::function<void()> focusTypingBox;
    // The rows (underline Line3, play icon Image2) or the panel's scroll (canvasTop,
    // thumbTop, VScroll1) changed: repaint the canvas and re-read the scroll values.
    std::function<void()> panelChanged;
    // Captions, enabled states, picker texts or speed pictures changed: re-read them.
    std::function<void()> controlsChanged;
    // A sentence just played to its end in studyMode 5. The follow-read code plays the
    // learner's recording from its start when its loop comparison is running.
    std::function<void()> onSentenceEndInMode5;
};
