#pragma once

// Lets a screen reader read a channel log as a text field: its text, the
// caret, the selection and where each character is on the screen.
void installLogMemoAccessibility();
