#pragma once
// Wildcard comparisons of texts: "?" stands for any one byte, "*" ends the
// part of a text that is compared. Texts are NUL-terminated; "*" (0x2A) and
// "?" (0x3F) never occur as the second byte of a Shift-JIS character, so
// the byte-wise comparison cannot split a character's meaning.

// 1 when either byte is "?" or both are equal.
int WildcardCharEqual(char a, char b);

// Two-sided comparison: 1 when the texts are byte-equal; otherwise both are
// cut before the first "*" either holds (at the smaller position) and
// compared byte by byte with WildcardCharEqual, the rest of a longer text
// having to be all "?". A null text compares unequal to anything.
int WildcardCompare(const char* a, const char* b);
