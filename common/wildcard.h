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

// Recursive match of a text against a pattern: "?" stands for one character
// of the text, a run of "*" for any characters, where the literal run after
// it is taken at its first occurrence in the text. An empty pattern matches
// only the empty text, "*" anything; a pattern tail without wildcards must
// end the text.
int WildcardMatch(const char* text, const char* pattern);

// Shift-JIS aware match: "?" stands for one whole character, "*" for any
// run of whole characters (every possible split is tried), every other
// character must be equal as a whole. A trail byte never matches a "*" or
// a "?" of the pattern, and a double-byte character never a single byte.
int WildcardMatchSjis(const char* text, const char* pattern);

// 1 when the text matches (WildcardMatchSjis) one pattern of a "|"-separated
// list; each pattern loses one pair of enclosing double quotes first.
int MatchAnyPattern(const char* text, const char* patternList);

// The same on a copy of the text converted by ConvertByFlags
// (common/width_kana.h).
int ConvertAndMatch(const char* text, const char* pattern, int flags);
int ConvertAndMatchAny(const char* text, const char* patternList, int flags);
