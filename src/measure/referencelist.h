#pragma once

// Prints each built-in BIVA reference, the default first, one line each: its
// name, a tab and its source. Returns the exit status.
int printReferenceList();
