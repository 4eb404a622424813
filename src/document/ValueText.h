#pragma once

#include "ColorValue.h"
#include "StyleSheetModel.h"
#include "ValueKind.h"

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

// What each value editor writes into a declaration's value, and what it shows when a
// declaration is clicked. Pure text functions: the value in, the new value out.
//
// In a standard-CSS document the editors write valid CSS; in the editor's own form
// they keep the editor's own forms (quoted texts, plain numbers). Values are read with
// the CSS tokenizer, so a string, a url() or a comment is never taken apart.
//
// A trailing "!important" (a "!" outside strings, brackets and functions, with what
// follows it) is kept by every write in standard form.
namespace ValueText {

// ---- Numbers -------------------------------------------------------------------
// The number editor works on the first number of a value and keeps everything around
// it: `0.67em 0` stepped up gives `1.67em 0`. The first number is the first Number,
// Percentage or Dimension token, wherever it stands (also inside calc() or rgb());
// numbers inside strings and url() are never taken, and neither is a colour such as
// `#123`. A value that is one quoted text as a whole (`"12"`, the editor's own quoted
// form) is searched inside its quotes, and a write drops the quotes, as the number
// editor always has (`"7"` becomes `7`).

struct NumberPart
{
    bool found = false;
    double value = 0;
    // Digits after the decimal point as written (`1.25` 2, `.5` 1); 0 for a whole
    // number and for exponent forms (`1e3`), which are written back plainly. A write
    // keeps at least this precision (more than MaxDecimals when written so).
    int decimals = 0;
    qsizetype start = 0;  // where the number (with its sign) begins in the value
    qsizetype length = 0; // the number's characters, without its unit
    QString unit;         // `px`, `%`, ... as written; empty for a bare number
    bool quoted = false;  // the value is one quoted text; a write drops its quotes
};

// The most decimals a written number gets, unless it was written with more.
constexpr int MaxDecimals = 4;

NumberPart firstNumber(QStringView value);

// A number as the editors write it: rounded to max(minDecimals, maxDecimals) decimals,
// trailing zeros dropped down to minDecimals, no exponent, no "+", and "-0" written
// as "0". numberText(0.1 + 0.2) is "0.3".
QString numberText(double number, int minDecimals = 0, int maxDecimals = MaxDecimals);

// The value with its first number replaced by `number` (unit and the rest kept, and a
// leading "+"; trailing zeros dropped: `1.50em` stepped up gives `2.5em`). A value
// without a number becomes the number alone. A number that is not finite changes
// nothing.
QString withNumber(QStringView value, double number);

// The value with its first number moved by `delta` (+1, -1, +10, +0.1 ...); a value
// without a number is returned as it is.
QString stepped(QStringView value, double delta);

// What the number editor shows for a value: its first number as numberText writes it
// (the unit left out), or the empty text when the value holds no number.
QString numberPreset(QStringView value);

// ---- Choices -------------------------------------------------------------------

// Standard form: the word as it is, unquoted (an "!important" of the old value kept).
// Editor form: the word quoted, as always.
QString choiceValue(QStringView oldValue, QStringView word, DocumentForm form);
// The word the choice editor shows: the value without its enclosing quotes (and, in
// standard form, without an "!important").
QString choicePreset(QStringView value, DocumentForm form);

// ---- Fonts ---------------------------------------------------------------------
// In standard form a font value is a comma list of families; the font editor shows
// and replaces the first one and keeps the rest (`"DejaVu Sans", Arial, sans-serif`).
// A family is written unquoted only when it is a generic family (`serif`,
// `sans-serif`, `monospace`, `cursive`, `fantasy`, `system-ui`, and the newer
// `ui-serif`, `ui-sans-serif`, `ui-monospace`, `ui-rounded`, `math`, `emoji`,
// `fangsong`; written in lower case) or a single plain identifier of ASCII letters,
// digits, "-" and "_" beginning with a letter or "_" (`Arial`). Every other family is
// quoted, with quotes and backslashes escaped (`"DejaVu Sans"`, `"Noto Sans CJK"`),
// which reads back as the same family in every browser. An empty family is written as
// `""`, so that typing into an emptied editor replaces the first family again instead
// of the next one. A CSS-wide keyword (`inherit`, `initial`, `unset`, `revert`,
// `revert-layer`) typed as the family becomes the whole value.

// One family as standard CSS writes it (rules above).
QString familyText(QStringView family);
// The first family of a font value, without quotes or escapes (`"DejaVu Sans", serif`
// gives DejaVu Sans; `Times New Roman, serif` gives Times New Roman).
QString firstFamily(QStringView value);
// Standard form: the old value's first family replaced by `family`, except a generic
// family, which stays behind a named family put before it (`monospace` with DejaVu Sans
// picked gives `"DejaVu Sans", monospace`; `Arial, sans-serif` gives
// `"DejaVu Sans", sans-serif`; a generic family picked replaces a generic one). The
// rest of the list is kept as written. Editor form: the family quoted as a whole, as
// always.
QString fontValue(QStringView oldValue, QStringView family, DocumentForm form);
// What the font editor shows: the first family (standard form); the value without
// its enclosing quotes (editor form).
QString fontPreset(QStringView value, DocumentForm form);

// ---- Files ---------------------------------------------------------------------
// A file value in standard form is `url("path")`, the path relative to the style
// sheet's folder when the file lies inside it (with "/" between folders). When the
// old value begins with a url() (quoted or not), a write in either form replaces that
// url() and keeps the rest (`url(a.cur), pointer`); otherwise the editor's own form
// quotes the whole path as always. `none` and the CSS-wide keywords are written bare
// in both forms, never quoted and never wrapped in url().

// `path` relative to the folder of `styleSheetPath` when it lies inside that folder
// (or below it); otherwise `path` unchanged. A style sheet without a path (empty, or
// not absolute like "Not Saved") leaves every path as it is.
QString relativePath(QStringView path, QStringView styleSheetPath);
// `url("path")` with quotes, backslashes and line breaks escaped.
QString urlText(QStringView path);
QString fileValue(QStringView oldValue, QStringView path, QStringView styleSheetPath, DocumentForm form);
// What the file editor shows: the path inside a leading url() (both forms); the value
// without its enclosing quotes otherwise.
QString filePreset(QStringView value);

// ---- Colours -------------------------------------------------------------------
// `hex` is the colour library's text for the picked colour (`#RRGGBB`).
// Standard form: `#RRGGBB`, or `rgb(R G B / A)` when the old value gave the colour an
// alpha below 1 (`rgba(0,0,0,.5)`, `hsl(0 0% 0% / 50%)`, `#RRGGBBAA`, `#RGBA`); that
// alpha is kept as written (a hex alpha as a number of up to three decimals).
// Editor form: `hex` as it is, as always.
QString colourValue(QStringView hex, QStringView oldValue, DocumentForm form);
// The alpha below 1 that a colour value gives, as CSS text ("0.5", "50%"); empty when
// it gives none or an alpha of 1.
QString colourAlpha(QStringView value);
// The text handed to the colour library to preset the colour button: the value
// without its enclosing quotes (and, in standard form, without an "!important").
QString colourPreset(QStringView value, DocumentForm form);

// ---- Colours in their own form ----------------------------------------------------
// In a standard-CSS document the colour button edits one colour of a value and writes
// it in the form the author gave it: an oklch() stays an oklch(), `#0af8` a four-digit
// hex, `hsl(… / .5)` an hsl() with its alpha, and the rest of the value
// (`1px solid …`, a gradient's other stops, an "!important") stays as written.

// A colour written in a value: its text and what the colour library reads in it.
struct ColourPart
{
    bool found = false;
    qsizetype start = 0;  // where the colour's text begins in the value
    qsizetype length = 0; // its characters
    ColorsText colour{};  // kind COLORS_KIND_CURRENTCOLOR for currentcolor and mixes of it
};

// Which colour texts firstColour takes whole.
enum class ColourSearch {
    // light-dark() and color-mix() as one colour each (the swatches show them whole).
    Whole,
    // The first colour inside them instead (the colour button edits one colour).
    Plain,
};

// The first colour of a value: a hex colour, a colour name (also `transparent`,
// `currentcolor` and the system colours) or a colour function, also inside other
// functions (gradients, shadows, filters). Strings, url(), var(), env() and attr() are
// never searched. Not found for a value without one (`inherit`, `var(--c)`).
ColourPart firstColour(QStringView value, ColourSearch search = ColourSearch::Whole);

// The forms the colour button's menu switches a colour to.
enum class ColourForm { Hex, Rgb, Hsl, Hwb, Lab, Lch, Oklab, Oklch, DisplayP3 };

// The form a colour text is written in, as the menu names it; nullopt for a name, a
// system colour, currentcolor, color-mix(), light-dark() and color() in another space.
std::optional<ColourForm> formOf(const ColorsText &colour);

// Upper case when most hex-colour letters of `text` are upper case (the file's style for
// new hex colours), lower case when most are lower; `fallback` when it has none. Reads
// no further than the first `limit` hex colours that hold letters.
bool hexUpperCase(QStringView text, bool fallback = true, int limit = 200);
// Adds the hex colours of `text` whose letters are upper case to `upper` and those
// whose letters are lower case to `lower`, until the two together reach `limit`: the
// count behind hexUpperCase, for a file read value by value.
void countHexCase(QStringView text, int &upper, int &lower, int limit = 200);

// The value after a pick of the sRGB colour r g b (0..255) on the colour button: its
// first colour (ColourSearch::Plain) written again in its own form with the new
// colour and its old alpha. A name, system colour or currentcolor becomes a hex colour;
// a relative colour becomes a plain one of its function. A value without a colour
// becomes the hex colour (its "!important" kept). Hex colours take the case of the
// colour they replace when it has letters, else `upperHex`.
QString colourPicked(QStringView value, int r, int g, int b, bool upperHex);

// The value with its first colour (ColourSearch::Plain) written in `form`; the value
// unchanged when it has no colour with a fixed value. hex, rgb(), hsl() and hwb() hold
// only sRGB: a colour outside it is written as the screen shows it.
QString colourInForm(QStringView value, ColourForm form, bool upperHex);

// WCAG 2.x contrast ratio (1 to 21) of a colour on an opaque background: both as the
// screen shows them (gamut-mapped into sRGB), the colour's alpha blended over the
// background first. 0 when either has no fixed value.
double contrastRatio(const ColorsValue &colour, const ColorsValue &background);

// ---- The editor a value takes ------------------------------------------------------
// A declaration's editor is first the one its property's catalogue entry names. When
// the property names none (a custom property `--x`, a shorthand such as `background`),
// or its editor finds nothing to edit in the value, the value's own text decides.

// The editor a value's own text calls for, whatever its property:
// - KindUrl: the value begins with a url() (`url(a.png) no-repeat`).
// - KindColor: it holds a colour the colour library reads, standing as a value of its
//   own (`#202b38`, `oklch(70% 0.1 200)`, `rebeccapurple`, `1px solid #ccc`, a
//   gradient's stops; not the `red` of `red.png`).
// - KindFont: a comma list of families that ends in a generic family
//   (`"Inter", system-ui, sans-serif`).
// - KindNumber: it holds a number, length, percentage or other dimension (`1.5rem`,
//   `0 auto`, `calc(100% - 2px)`).
// - KindNone otherwise: keywords, var(), a string, an empty value.
// Standard form, in that order. The editor's own form writes a colour or a font as the
// whole value, so there only a value that is one colour, one number (with its unit) or
// begins with a url() has a kind; its enclosing quotes are looked through.
ValueKind valueKind(QStringView value, DocumentForm form);

// The editor a declaration takes: `propertyKind` (the catalogue's) when the value has
// no kind of its own, has that kind, or holds what the property's editor edits (a
// colour, a number, a leading url(), or for a choice one of `choices`, compared without
// regard to case); the value's own kind otherwise.
ValueKind editorKind(ValueKind propertyKind, QStringView value, DocumentForm form,
                     const QStringList &choices = {});

// ---- Labels edited in place -------------------------------------------------------
// Why a label typed into the element tree would not read back as one declaration
// (`declaration` true) or one selector: a line break, a "{", "}" or ";" outside
// strings, url() and comments, or a string, comment or bracket left open. A message
// naming the fault (`A declaration cannot hold "{" outside quotes.`, `The selector
// has a "[" that is not closed.`), or the empty text when the label is fine.
QString labelProblem(QStringView label, bool declaration);

} // namespace ValueText
