#include "SupportCheck.h"

#include "CssTokenizer.h"
#include "TableStore.h"

#include <QStringList>

using Css::Token;
using Css::TokenType;

namespace {

int yearOf(QStringView date)
{
    if (date.size() < 4 || date == u"-")
        return 0;
    bool ok = false;
    const int year = date.first(4).toInt(&ok);
    return ok ? year : 0;
}

quint8 browserBit(QStringView name)
{
    using B = SupportCheck::Browser;
    static const std::pair<const char16_t *, B> names[] = {
        {u"chrome", B::Chrome},       {u"chrome_android", B::ChromeAndroid},   {u"edge", B::Edge},
        {u"firefox", B::Firefox},     {u"firefox_android", B::FirefoxAndroid}, {u"safari", B::Safari},
        {u"safari_ios", B::SafariIos}};
    for (const auto &[text, bit] : names)
        if (name == QStringView(text))
            return bit;
    return 0;
}

bool hasCapital(QStringView text)
{
    for (QChar c : text)
        if (c >= u'A' && c <= u'Z')
            return true;
    return false;
}

// Whether one part's support is less than another's: a lower status, or the same status
// reached later.
bool weaker(const SupportCheck::Support &a, const SupportCheck::Support &b)
{
    if (a.status != b.status)
        return a.status < b.status;
    if (a.status == SupportCheck::Status::Widely)
        return a.highYear > b.highYear;
    if (a.status == SupportCheck::Status::Newly)
        return a.lowYear > b.lowYear;
    return false;
}

} // namespace

std::optional<SupportCheck::Target> SupportCheck::Target::parse(QStringView text)
{
    text = text.trimmed();
    if (text.compare(u"widely", Qt::CaseInsensitive) == 0)
        return Target{Level::Widely, 0};
    if (text.compare(u"newly", Qt::CaseInsensitive) == 0)
        return Target{Level::Newly, 0};
    bool ok = false;
    const int year = text.toInt(&ok);
    // Baseline begins with the browsers of 2015; a year of four digits from then on.
    if (ok && text.size() == 4 && year >= 2015)
        return Target{Level::Year, year};
    return std::nullopt;
}

QString SupportCheck::Target::key() const
{
    switch (level) {
    case Level::Off:
        break;
    case Level::Widely:
        return QStringLiteral("widely");
    case Level::Newly:
        return QStringLiteral("newly");
    case Level::Year:
        return QString::number(year);
    }
    return {};
}

QString SupportCheck::Target::title() const
{
    switch (level) {
    case Level::Off:
        break;
    case Level::Widely:
        return QStringLiteral("Baseline widely available");
    case Level::Newly:
        return QStringLiteral("Baseline newly available");
    case Level::Year:
        return QStringLiteral("Baseline %1").arg(year);
    }
    return {};
}

void SupportCheck::open(const QString &path)
{
    TableStore store;
    TableStore::Layout layout;
    layout.table = QStringLiteral("baseline");
    layout.firstField = QStringLiteral("Feature");
    layout.valuesField = QStringLiteral("Support");
    store.open(path, layout);
    for (store.first(); !store.eof(); store.next()) {
        const QStringList lines = store.valuesLines();
        if (!lines.isEmpty())
            addRow(store.firstField(), lines.front());
    }
}

void SupportCheck::addRow(QStringView feature, QStringView support)
{
    m_valueReasons.clear();
    const QList<QStringView> key = feature.split(u' ', Qt::SkipEmptyParts);
    const QList<QStringView> fields = support.split(u' ', Qt::SkipEmptyParts);
    if (key.size() < 2 || fields.size() < 3)
        return;
    Support row;
    if (fields[0] == u"widely")
        row.status = Status::Widely;
    else if (fields[0] == u"newly")
        row.status = Status::Newly;
    else if (fields[0] == u"limited")
        row.status = Status::Limited;
    else if (fields[0] == u"discouraged")
        row.status = Status::Discouraged;
    else
        return;
    row.lowYear = yearOf(fields[1]);
    row.highYear = yearOf(fields[2]);
    for (qsizetype i = 3; i < fields.size(); ++i)
        row.missing |= browserBit(fields[i]);
    const QString name = key.back().toString().toLower();
    if (key[0] == u"property" && key.size() == 2)
        m_properties.emplace(name, row);
    else if (key[0] == u"selector" && key.size() == 2)
        m_selectors.emplace(name, row);
    else if (key[0] == u"at-rule" && key.size() == 2)
        m_atRules.emplace(name, row);
    else if (key[0] == u"value" && key.size() == 3)
        m_values[key[1].toString().toLower()].emplace(name, row);
}

SupportCheck::Support SupportCheck::find(const Table &table, QStringView key)
{
    if (table.empty())
        return {};
    const auto found = hasCapital(key) ? table.find(QStringView(key.toString().toLower())) : table.find(key);
    return found == table.end() ? Support{} : found->second;
}

SupportCheck::Support SupportCheck::property(QStringView name) const
{
    return find(m_properties, name.trimmed());
}

const SupportCheck::Table *SupportCheck::valuesOf(QStringView property) const
{
    property = property.trimmed();
    if (m_values.empty())
        return nullptr;
    const auto found = hasCapital(property) ? m_values.find(QStringView(property.toString().toLower()))
                                            : m_values.find(property);
    return found == m_values.end() ? nullptr : &found->second;
}

SupportCheck::Support SupportCheck::value(QStringView property, QStringView word) const
{
    const Table *values = valuesOf(property);
    return values ? find(*values, word) : Support{};
}

SupportCheck::Support SupportCheck::selector(QStringView name) const
{
    return find(m_selectors, name);
}

SupportCheck::Support SupportCheck::atRule(QStringView name) const
{
    return find(m_atRules, name);
}

bool SupportCheck::meets(const Support &support, const Target &target)
{
    if (!support)
        return true;
    switch (target.level) {
    case Target::Level::Off:
        return true;
    case Target::Level::Widely:
        return support.status == Status::Widely;
    case Target::Level::Newly:
        return support.status >= Status::Newly;
    case Target::Level::Year:
        return support.status >= Status::Newly && support.lowYear > 0 && support.lowYear <= target.year;
    }
    return true;
}

QString SupportCheck::browserNames(quint8 missing)
{
    struct Pair
    {
        quint8 desktop;
        quint8 mobile;
        const char *name;
        const char *mobileName;
    };
    static const Pair pairs[] = {{Chrome, ChromeAndroid, "Chrome", "Chrome on Android"},
                                 {Edge, 0, "Edge", ""},
                                 {Firefox, FirefoxAndroid, "Firefox", "Firefox on Android"},
                                 {Safari, SafariIos, "Safari", "Safari on iOS"}};
    QStringList names;
    for (const Pair &pair : pairs) {
        const bool desktop = missing & pair.desktop;
        const bool mobile = pair.mobile && (missing & pair.mobile);
        if (desktop)
            names << QLatin1String(pair.name);
        else if (mobile)
            names << QLatin1String(pair.mobileName);
    }
    return names.join(QStringLiteral(", "));
}

QString SupportCheck::describe(const Support &support)
{
    switch (support.status) {
    case Status::Unknown:
        break;
    case Status::Widely:
        return support.highYear > 0
                   ? QStringLiteral("Baseline: widely available since %1").arg(support.highYear)
                   : QStringLiteral("Baseline: widely available");
    case Status::Newly:
        return support.lowYear > 0 ? QStringLiteral("Baseline: newly available since %1").arg(support.lowYear)
                                   : QStringLiteral("Baseline: newly available");
    case Status::Discouraged:
        return QStringLiteral("Not Baseline: discouraged");
    case Status::Limited: {
        const QString names = browserNames(support.missing);
        return names.isEmpty() ? QStringLiteral("Limited availability")
                               : QStringLiteral("Limited availability: not in %1").arg(names);
    }
    }
    return {};
}

namespace {

// Calls `each` with every keyword and function name of a value (at any depth), until it
// returns false.
template<typename Each> void forEachWord(QStringView value, Each each)
{
    Css::Tokenizer tokenizer(value);
    for (Token t = tokenizer.next(); t.type != TokenType::EndOfFile; t = tokenizer.next()) {
        if (t.type == TokenType::Ident) {
            if (!each(Css::tokenText(value, t)))
                return;
        } else if (t.type == TokenType::Function) {
            if (!each(Css::tokenText(value, t).chopped(1)))
                return;
        }
    }
}

bool isVendor(QStringView name)
{
    return name.startsWith(u'-') && !name.startsWith(u"--");
}

} // namespace

SupportCheck::Part SupportCheck::weakestOf(QStringView name, QStringView value) const
{
    name = name.trimmed();
    Part weakest{{}, property(name)};
    const Table *values = valuesOf(name);
    if (!values)
        return weakest;
    forEachWord(value, [&](QStringView word) {
        const Support support = find(*values, word);
        if (support && (!weakest.support || weaker(support, weakest.support)))
            weakest = {word.toString(), support};
        return true;
    });
    return weakest;
}

QString SupportCheck::note(QStringView name, QStringView value) const
{
    const Part part = weakestOf(name, value);
    if (!part.support)
        return {};
    const QString text = describe(part.support);
    return part.what.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, part.what);
}

QString SupportCheck::outside(const QString &part, const Support &support, const Target &target) const
{
    QString status;
    if (support.status == Status::Discouraged) {
        status = QStringLiteral("is discouraged");
    } else if (support.status == Status::Limited) {
        const QString names = browserNames(support.missing);
        status = names.isEmpty() ? QStringLiteral("has limited availability")
                                 : QStringLiteral("is not in %1").arg(names);
    } else if (support.status == Status::Newly) {
        status = support.lowYear > 0 ? QStringLiteral("is newly available since %1").arg(support.lowYear)
                                     : QStringLiteral("is newly available");
    } else {
        status = support.lowYear > 0 ? QStringLiteral("is Baseline since %1").arg(support.lowYear)
                                     : QStringLiteral("is Baseline");
    }
    return QStringLiteral("outside the support target (%1): %2 %3").arg(target.title(), part, status);
}

QString SupportCheck::checkDeclaration(QStringView name, QStringView value, const Target &target) const
{
    name = name.trimmed();
    if (target.isOff() || isVendor(name) || name.startsWith(u"--"))
        return {};
    const Support own = property(name);
    if (!meets(own, target))
        return outside(name.toString().toLower(), own, target);
    const Table *values = valuesOf(name);
    if (!values)
        return {};
    if (!(m_valueTarget == target)) {
        m_valueReasons.clear();
        m_valueTarget = target;
    }
    const auto found = m_valueReasons.find(ValueKeyView{values, value});
    if (found != m_valueReasons.end())
        return found->second;
    constexpr size_t Limit = 1 << 16;
    if (m_valueReasons.size() >= Limit)
        m_valueReasons.clear();
    QString reason;
    forEachWord(value, [&](QStringView word) {
        const Support support = find(*values, word);
        if (meets(support, target))
            return true;
        reason = outside(QStringLiteral("%1 in %2").arg(word.toString().toLower(), name.toString().toLower()),
                         support, target);
        return false;
    });
    m_valueReasons.emplace(ValueKey{values, value.toString()}, reason);
    return reason;
}

QString SupportCheck::checkSelector(QStringView selectors, const Target &target) const
{
    if (target.isOff() || m_selectors.empty() || !selectors.contains(u':'))
        return {};
    Css::Tokenizer tokenizer(selectors);
    int colons = 0; // the colons just before the current token
    for (Token t = tokenizer.next(); t.type != TokenType::EndOfFile; t = tokenizer.next()) {
        if (t.type == TokenType::Colon) {
            ++colons;
            continue;
        }
        if (colons > 0 && (t.type == TokenType::Ident || t.type == TokenType::Function)) {
            QStringView name = Css::tokenText(selectors, t);
            if (t.type == TokenType::Function)
                name.chop(1);
            if (!isVendor(name)) {
                const Support support = selector(name);
                if (!meets(support, target)) {
                    const QString written =
                        QString(colons > 1 ? QStringLiteral("::") : QStringLiteral(":")) +
                        name.toString().toLower() +
                        (t.type == TokenType::Function ? QStringLiteral("()") : QString());
                    return outside(written, support, target);
                }
            }
        }
        colons = 0;
    }
    return {};
}

QString SupportCheck::checkAtRule(QStringView name, const Target &target) const
{
    if (target.isOff() || name.isEmpty() || isVendor(name))
        return {};
    const Support support = atRule(name);
    if (meets(support, target))
        return {};
    return outside(QLatin1Char('@') + name.toString().toLower(), support, target);
}
