#include "SelectorCheck.h"

#include "NameSuggestion.h"
#include "TableStore.h"

namespace {

using Css::Token;
using Css::TokenType;

// The pseudo-elements CSS 2 wrote with one colon, which browsers still read so.
bool isLegacyPseudoElement(QStringView name)
{
    for (const char16_t *legacy : {u"before", u"after", u"first-line", u"first-letter"})
        if (name == QStringView(legacy))
            return true;
    return false;
}

// The engine prefix of a vendor name ("-moz-" of "-moz-focusring"); empty otherwise.
QStringView vendorOf(QStringView name)
{
    if (!name.startsWith(u'-') || name.startsWith(u"--"))
        return {};
    const qsizetype end = name.indexOf(u'-', 1);
    return end < 0 ? QStringView() : name.first(end + 1);
}

} // namespace

// Reads one selector list over its tokens (comments left out) and stops at the first
// error; remembers the vendor prefixes each selector of the list uses.
struct SelectorCheck::Reader
{
    static constexpr int MaxDepth = 32;
    const SelectorCheck &check;
    QStringView text;
    std::vector<Token> tokens;
    size_t at = 0;
    QString error;
    // Per selector of the top-level list: the vendor prefixes it uses, and one name.
    std::vector<QStringList> vendors;
    QString vendorName;
    int depth = 0; // functional pseudo-classes around these tokens

    bool atEnd() const { return at >= tokens.size(); }
    const Token &token() const { return tokens[at]; }
    QStringView textOf(const Token &t) const { return Css::tokenText(text, t); }
    bool isDelim(char16_t c) const
    {
        return !atEnd() && token().type == TokenType::Delim && textOf(token()) == QStringView(&c, 1);
    }
    bool skipBlanks()
    {
        bool any = false;
        while (!atEnd() && token().type == TokenType::Whitespace) {
            ++at;
            any = true;
        }
        return any;
    }
    bool fail(const QString &message)
    {
        if (error.isEmpty())
            error = message;
        return false;
    }
    QString shown(const Token &t) const { return textOf(t).toString(); }
    bool unexpected()
    {
        if (atEnd())
            return fail(QStringLiteral("the selector ends too early"));
        return fail(QStringLiteral("unexpected \"%1\" in the selector").arg(shown(token())));
    }

    // The tokens of [from, to): the argument of a functional pseudo-class.
    Reader sub(size_t from, size_t to) const
    {
        Reader r{check, text, {}, 0, {}, {}, {}, depth + 1};
        r.tokens.assign(tokens.begin() + qsizetype(from), tokens.begin() + qsizetype(to));
        return r;
    }

    bool isCombinator() const { return isDelim(u'>') || isDelim(u'+') || isDelim(u'~'); }

    // A list of complex selectors separated by commas.
    bool list(bool relative, bool topLevel)
    {
        for (;;) {
            if (topLevel)
                vendors.emplace_back();
            skipBlanks();
            if (atEnd() || token().type == TokenType::Comma)
                return fail(QStringLiteral("an empty selector in the list"));
            if (!complex(relative, topLevel))
                return false;
            if (atEnd())
                return true;
            if (token().type != TokenType::Comma)
                return unexpected();
            ++at;
        }
    }

    bool complex(bool relative, bool topLevel)
    {
        if (isCombinator()) {
            if (!relative)
                return fail(
                    QStringLiteral("the selector begins with the combinator \"%1\"").arg(shown(token())));
            ++at;
            skipBlanks();
        }
        if (!compound(topLevel))
            return false;
        for (;;) {
            const bool blank = skipBlanks();
            if (atEnd() || token().type == TokenType::Comma)
                return true;
            if (isCombinator()) {
                const QString combinator = shown(token());
                ++at;
                skipBlanks();
                if (atEnd() || token().type == TokenType::Comma)
                    return fail(
                        QStringLiteral("the selector ends with the combinator \"%1\"").arg(combinator));
            } else if (!blank) {
                return unexpected();
            }
            if (!compound(topLevel))
                return false;
        }
    }

    // An optional namespace prefix and element name (or "*").
    bool typeSelector(bool &any)
    {
        const auto nameOrStar = [this] {
            return !atEnd() && (token().type == TokenType::Ident || isDelim(u'*'));
        };
        if (nameOrStar()) {
            ++at;
            any = true;
        }
        if (isDelim(u'|') && !(at + 1 < tokens.size() && tokens[at + 1].type == TokenType::Delim &&
                               textOf(tokens[at + 1]) == u"=")) {
            ++at;
            if (!nameOrStar())
                return unexpected();
            ++at;
            any = true;
        }
        return true;
    }

    bool compound(bool topLevel)
    {
        bool any = false;
        if (!typeSelector(any))
            return false;
        while (!atEnd()) {
            const Token &t = token();
            if (isDelim(u'&')) {
                ++at;
            } else if (t.type == TokenType::Hash) {
                // An id is a name: "#1a" is no id selector.
                const QStringView hash = textOf(t).sliced(1);
                Css::Tokenizer probe(hash);
                const Token first = probe.next();
                if (first.type != TokenType::Ident || first.length != hash.size())
                    return fail(QStringLiteral("\"%1\" is no id selector").arg(shown(t)));
                ++at;
            } else if (isDelim(u'.')) {
                ++at;
                if (atEnd() || token().type != TokenType::Ident)
                    return fail(QStringLiteral("a class name must follow \".\""));
                ++at;
            } else if (t.type == TokenType::OpenSquare) {
                if (!attribute())
                    return false;
            } else if (t.type == TokenType::Colon) {
                if (!pseudo(topLevel))
                    return false;
            } else {
                break;
            }
            any = true;
        }
        if (!any)
            return unexpected();
        return true;
    }

    bool attribute()
    {
        ++at; // [
        skipBlanks();
        bool any = false;
        if (!typeSelector(any))
            return false;
        if (!any || tokens[at - 1].type != TokenType::Ident)
            return fail(QStringLiteral("an attribute selector needs a name"));
        skipBlanks();
        if (!atEnd() && token().type == TokenType::CloseSquare) {
            ++at;
            return true;
        }
        if (isDelim(u'~') || isDelim(u'|') || isDelim(u'^') || isDelim(u'$') || isDelim(u'*'))
            ++at;
        if (!isDelim(u'='))
            return fail(QStringLiteral("unexpected \"%1\" in an attribute selector")
                            .arg(atEnd() ? QString() : shown(token())));
        ++at;
        skipBlanks();
        if (atEnd() || (token().type != TokenType::Ident && token().type != TokenType::String))
            return fail(QStringLiteral("an attribute selector's value must be a name or a string"));
        ++at;
        skipBlanks();
        if (!atEnd() && token().type == TokenType::Ident) {
            const QString flag = Css::unescaped(textOf(token())).toLower();
            if (flag != u"i" && flag != u"s")
                return fail(QStringLiteral("unknown attribute selector flag %1").arg(flag));
            ++at;
            skipBlanks();
        }
        if (atEnd() || token().type != TokenType::CloseSquare)
            return fail(QStringLiteral("an attribute selector must end with \"]\""));
        ++at;
        return true;
    }

    // The position of the ")" that closes the block opened just before `from`.
    size_t closing(size_t from) const
    {
        int depth = 1;
        for (size_t i = from; i < tokens.size(); ++i) {
            switch (tokens[i].type) {
            case TokenType::Function:
            case TokenType::OpenParen:
            case TokenType::OpenSquare:
                ++depth;
                break;
            case TokenType::CloseParen:
            case TokenType::CloseSquare:
                if (--depth == 0)
                    return i;
                break;
            default:
                break;
            }
        }
        return tokens.size();
    }

    bool pseudo(bool topLevel)
    {
        ++at; // :
        bool element = false;
        if (!atEnd() && token().type == TokenType::Colon) {
            element = true;
            ++at;
        }
        if (atEnd() || (token().type != TokenType::Ident && token().type != TokenType::Function))
            return fail(QStringLiteral("a name must follow \"%1\"")
                            .arg(element ? QStringLiteral("::") : QStringLiteral(":")));
        const bool function = token().type == TokenType::Function;
        QStringView raw = textOf(token());
        if (function)
            raw.chop(1);
        const QString name = Css::unescaped(raw).toLower();
        const QString written = (element ? QStringLiteral("::") : QStringLiteral(":")) + name +
                                (function ? QStringLiteral("()") : QString());
        ++at;
        size_t argumentEnd = at;
        if (function) {
            argumentEnd = closing(at);
            if (argumentEnd >= tokens.size())
                return fail(QStringLiteral("%1 is not closed").arg(written));
        }
        const QStringView vendor = vendorOf(name);
        if (!vendor.isEmpty()) {
            if (topLevel && !vendors.empty() && !vendors.back().contains(vendor)) {
                vendors.back().append(vendor.toString());
                if (vendorName.isEmpty())
                    vendorName = written;
            }
        } else if (!check.m_names.contains(written) &&
                   !(!element && !function && isLegacyPseudoElement(name))) {
            const QString kind = element ? QStringLiteral("pseudo-element") : QStringLiteral("pseudo-class");
            // The same name with or without its parentheses first: ":not" for ":not()".
            const QString other = function ? written.chopped(2) : written + QStringLiteral("()");
            const QString close = check.m_names.contains(other) ? other : closestName(written, check.m_list);
            return fail(close.isEmpty()
                            ? QStringLiteral("unknown %1 %2").arg(kind, written)
                            : QStringLiteral("unknown %1 %2 (did you mean %3?)").arg(kind, written, close));
        }
        if (function) {
            const size_t from = at;
            at = argumentEnd + 1;
            Reader inner = sub(from, argumentEnd);
            inner.skipBlanks();
            if (inner.atEnd() && name != u"is" && name != u"where")
                return fail(QStringLiteral("%1 needs an argument").arg(written));
            // :not() and :has() take selector lists that must be valid; :is() and
            // :where() forgive what they cannot read; other arguments are not judged.
            // Arguments nested deeper than any sheet writes them are left to the browser,
            // so that no text can exhaust the stack.
            if (vendor.isEmpty() && (name == u"not" || name == u"has") && depth < MaxDepth) {
                inner.at = 0;
                if (!inner.list(name == u"has", false))
                    return fail(QStringLiteral("in %1: %2").arg(written, inner.error));
            }
        }
        return true;
    }
};

void SelectorCheck::open(const QString &path)
{
    TableStore store;
    TableStore::Layout layout;
    layout.table = QStringLiteral("selectors");
    layout.firstField = QStringLiteral("Name");
    layout.valuesField = QStringLiteral("Syntax");
    store.open(path, layout);
    for (store.first(); !store.eof(); store.next())
        addName(store.firstField());
}

void SelectorCheck::addName(const QString &name)
{
    const QString lower = name.toLower();
    if (!m_names.contains(lower)) {
        ++m_generation;
        m_names.insert(lower);
        m_list.push_back(lower);
    }
}

namespace {

bool isAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}

bool isAsciiNameCharacter(char16_t c)
{
    return isAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'-';
}

} // namespace

bool SelectorCheck::isPlain(QStringView text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    const auto blanks = [&] {
        const qsizetype from = i;
        while (i < n && Css::isWhitespace(text[i]))
            ++i;
        return i > from;
    };
    // A name of ASCII letters, digits, "-" and "_" that begins with a letter or "_", or
    // with "-" and one of those: the tokenizer reads it as one name, and "#" before it
    // makes an id.
    const auto name = [&] {
        qsizetype at = i;
        if (at < n && text[at] == u'-')
            ++at;
        if (at >= n || !isAsciiLetter(text[at].unicode()))
            return false;
        while (at < n && isAsciiNameCharacter(text[at].unicode()))
            ++at;
        // A name followed by "(" is a function; by "\" or a character beyond ASCII it
        // goes on: neither is plain.
        if (at < n && (text[at] == u'(' || text[at] == u'\\' || text[at].unicode() >= 0x80))
            return false;
        i = at;
        return true;
    };
    const auto compound = [&] {
        bool any = false;
        if (i < n && text[i] == u'*') {
            ++i;
            any = true;
        } else if (name()) {
            any = true;
        }
        while (i < n) {
            const char16_t c = text[i].unicode();
            if (c == u'&') {
                ++i;
            } else if (c == u'.' || c == u'#') {
                ++i;
                if (!name())
                    return false;
            } else {
                break;
            }
            any = true;
        }
        return any;
    };
    blanks();
    for (;;) {
        // A complex selector: compounds joined by combinators.
        if (!compound())
            return false;
        for (;;) {
            const bool blank = blanks();
            if (i >= n)
                return true;
            const char16_t c = text[i].unicode();
            if (c == u',')
                break;
            if (c == u'>' || c == u'+' || c == u'~') {
                ++i;
                blanks();
            } else if (!blank) {
                return false;
            }
            if (!compound())
                return false;
        }
        ++i; // ,
        blanks();
    }
}

SelectorCheck::Result SelectorCheck::check(QStringView selectors, bool nested) const
{
    if (isPlain(selectors))
        return {};
    Reader reader{*this, selectors, {}, 0, {}, {}, {}, 0};
    Css::Tokenizer tokenizer(selectors);
    for (Token t = tokenizer.next(); t.type != TokenType::EndOfFile; t = tokenizer.next())
        if (t.type != TokenType::Comment)
            reader.tokens.push_back(t);
    while (!reader.tokens.empty() && reader.tokens.back().type == TokenType::Whitespace)
        reader.tokens.pop_back();
    if (!reader.list(nested, true))
        return {Problem::Invalid, QStringLiteral("a browser drops this whole rule: ") + reader.error};
    // A vendor name in a list of several selectors: every engine without it drops them all.
    if (reader.vendors.size() > 1) {
        const QStringList &first = reader.vendors.front();
        bool mixed = false;
        for (const QStringList &each : reader.vendors)
            mixed = mixed || each != first || each.size() > 1;
        if (mixed)
            return {Problem::Vendor,
                    QStringLiteral("browsers without %1 drop this whole rule: give each vendor's selectors a "
                                   "rule of their own")
                        .arg(reader.vendorName)};
    }
    return {};
}
