#pragma once

// Every text of every language file, measured with the real fonts at the sizes the screens draw
// it, against the box it is drawn in: menu items, the screens' own texts and the help pages.
// Also: every character of every text exists in the fonts, and a language file holds only keys
// of the base texts, with the base texts' percent signs. Expects the text table loaded.
void CheckTextFit();
