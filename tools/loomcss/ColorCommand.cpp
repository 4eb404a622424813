#include "ColorCommand.h"

#include "ColorValue.h"
#include "UsageError.h"

#include <cstdio>
#include <string>

namespace {

struct Form
{
    const char *name;
    int form;
    int space; // the space converted to first, or -1
};

constexpr Form Forms[] = {
    {"hex", COLORS_FORM_HEX, -1},
    {"rgb", COLORS_FORM_RGB, -1},
    {"hsl", COLORS_FORM_HSL, -1},
    {"hwb", COLORS_FORM_HWB, -1},
    {"lab", COLORS_FORM_LAB, -1},
    {"lch", COLORS_FORM_LCH, -1},
    {"oklab", COLORS_FORM_OKLAB, -1},
    {"oklch", COLORS_FORM_OKLCH, -1},
    {"p3", COLORS_FORM_COLOR, COLORS_DISPLAY_P3},
};

// One side of a colour in the form; false when it has no fixed value.
bool write(std::string &line, const ColorsValue &color, const Form &form, int precision)
{
    if (color.kind != COLORS_KIND_VALUE)
        return false;
    ColorsValue value = color;
    if (form.space >= 0)
        ColorsConvert(&color, form.space, &value);
    char buffer[256];
    const size_t length = ColorsFormat(&value, form.form, precision, 0, buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer)
        return false;
    line += buffer;
    // Hex, rgb(), hsl() and hwb() hold only sRGB: a colour outside it is written as the
    // screen shows it, and the line says so in a comment that CSS ignores.
    if (form.form <= COLORS_FORM_HWB && !ColorsInSrgb(&color))
        line += " /* outside sRGB */";
    return true;
}

// The sides of a colour made from light-dark() (color-mix(in srgb, light-dark(...), red))
// differ even where the text's outermost form is another.
bool differ(const ColorsValue &a, const ColorsValue &b)
{
    return a.kind != b.kind || a.space != b.space || a.alpha != b.alpha || a.missing != b.missing ||
           a.c[0] != b.c[0] || a.c[1] != b.c[1] || a.c[2] != b.c[2];
}

} // namespace

int runColorCommand(QStringList args, const char *usage)
{
    const auto wrong = [usage](const QString &problem) { return usageError(usage, problem); };
    const Form *form = &Forms[0];
    int precision = -1;
    while (!args.isEmpty() && args[0].startsWith(QLatin1String("--"))) {
        QString option = args.takeFirst();
        if (option == QLatin1String("--"))
            break;
        QString argument;
        const qsizetype equals = option.indexOf(QLatin1Char('='));
        if (equals >= 0) {
            argument = option.mid(equals + 1);
            option.truncate(equals);
        } else if (!args.isEmpty()) {
            argument = args.takeFirst();
        } else {
            return wrong(QStringLiteral("%1 needs a value").arg(option));
        }
        if (option == QLatin1String("--to")) {
            form = nullptr;
            for (const Form &f : Forms)
                if (argument == QLatin1String(f.name))
                    form = &f;
            if (!form)
                return wrong(
                    QStringLiteral("unknown form %1 (hex, rgb, hsl, hwb, lab, lch, oklab, oklch or p3)")
                        .arg(argument));
        } else if (option == QLatin1String("--precision")) {
            bool ok = false;
            precision = argument.toInt(&ok);
            if (!ok || precision < 0 || precision > 20)
                return wrong(QStringLiteral("--precision takes 0 to 20, not %1").arg(argument));
        } else {
            return wrong(QStringLiteral("color takes no %1").arg(option));
        }
    }
    if (args.isEmpty())
        return wrong(QStringLiteral("color needs a COLOR"));

    int status = 0;
    for (const QString &arg : args) {
        const QByteArray text = arg.toUtf8();
        ColorsText parsed;
        std::string line;
        if (!ColorsParse(text.constData(), size_t(text.size()), &parsed)) {
            line = "no colour";
            status = 1;
        } else if (parsed.form == COLORS_FORM_CURRENTCOLOR) {
            line = "currentcolor";
        } else if (parsed.form == COLORS_FORM_LIGHT_DARK || differ(parsed.color, parsed.dark)) {
            line = "light-dark(";
            bool ok = write(line, parsed.color, *form, precision);
            line += ", ";
            ok = ok && write(line, parsed.dark, *form, precision);
            line += ')';
            if (!ok) {
                line = "no fixed value";
                status = 1;
            }
        } else if (!write(line, parsed.color, *form, precision)) {
            line = "no fixed value";
            status = 1;
        }
        line += '\n';
        std::fputs(line.c_str(), stdout);
    }
    std::fflush(stdout);
    return std::ferror(stdout) ? 1 : status;
}
