#pragma once
// The program's four windows, one of each for the whole run.

// Creates them in this order, each complete before the next: the main window
// Form1 (whose creation writes the table titles while the others do not yet
// exist), the group editor F_edition, the console Form2, the about window
// Form3. All start hidden; showing Form1 is the caller's business.
void CreateProgramWindows();

// Destroys them, last created first, and empties the references.
void DestroyProgramWindows();
