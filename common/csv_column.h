#pragma once
// Loading one column of a CSV text file into a work-memory list.

class CWorkMemory;

// Opens the text file (read and write), reads it line by line (lines up to
// 1,024 bytes), skips lines that are blank after trimming and appends field
// N of every other line to the list. 1 at the end of the file; 0 when the
// file cannot be opened, a read fails or the list refuses an entry (the
// entries added before stay).
int LoadCsvColumn(const char* path, int n, CWorkMemory* list);
