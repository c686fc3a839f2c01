#pragma once
// Address text normalisation: the fixed sequence of steps that brings
// address text and table names to one canonical form.

// 1 when the text ends in a run of numeral characters of one kind: all
// full-width digits, or all kanji numerals (一 十 百 万 〇 ...). "三" 1,
// "１二" 0 (mixed), "丁目" 0, "" 0.
int EndsWithUniformNumeralRun(const char* text);
