// The one look of every Tonbrix window: the Fusion style, a dark palette in
// the main window's colours and one application-wide style sheet (combo boxes
// with their arrows, spin boxes, lists, check boxes, and a visible focus on
// every control that takes it). Applied once to the application before the first window is
// made, so the progress window, the Options window, message boxes, the name
// prompt, the About box and the file and folder dialogs share the main
// window's dark look instead of each window carrying its own.
//
// Changes colours, borders and arrows only: no control's place, size or text.
// User-interface thread only, with a QApplication in existence.
#pragma once

class QApplication;
class QPalette;

// The dark palette of every window (the main window paints its own background
// picture over it).
QPalette TonbrixPalette();

// Sets the Fusion style, TonbrixPalette() and the program's style sheet on
// `app`.
void ApplyTonbrixTheme(QApplication& app);
