#include "TSplashForm.h"

#include "ExceptionBox.h"
#include "Failure.h"
#include "RegistryStore.h"
#include "Strings.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QSvgRenderer>

namespace {

const QString templateKeyPath = QStringLiteral("\\Software\\Loomwright 99\\Template");
const QString positionKeyPath = QStringLiteral("\\Software\\Loomwright 99\\Position");
const QString firstStartMarker = QStringLiteral("CreateNewTemplate");

// The new-document template of the suite's HTML editor, stored on the first start.
QString htmlTemplate()
{
    const QStringList lines = {
        QStringLiteral("<html>"),
        QStringLiteral("<head>"),
        QStringLiteral("<meta name=\"generator\" content=\"loomwright 99\">"),
        QStringLiteral("<meta name=\"author\" content=\"tarnvale\">"),
        QStringLiteral("<meta name=\"keywords\" content=\"\">"),
        QStringLiteral("<meta name=\"description\" content=\"\">"),
        QStringLiteral("<title>Your Document Title</title>"),
        QStringLiteral("</head>"),
        QStringLiteral("<body bgcolor=\"white\" text=\"black\" link=\"blue\" vlink=\"red\" alink=\"fuchsia\" "
                       "background=\"\">"),
        QString(),
        QString(),
        QStringLiteral("Your Document Text"),
        QString(),
        QString(),
        QStringLiteral("</body>"),
        QStringLiteral("</html>"),
    };
    return lines.join(QStringLiteral("\r\n"));
}

QPixmap splashPicture(const QSize &size, qreal ratio)
{
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::black);
    QSvgRenderer renderer(QStringLiteral(":/app/SplashPicture.svg"));
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), size));
    return pixmap;
}

QFrame *panel(QWidget *parent, const QRect &geometry, const QColor &colour)
{
    auto *frame = new QFrame(parent);
    frame->setGeometry(geometry);
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, colour);
    frame->setPalette(palette);
    return frame;
}

} // namespace

TSplashForm::TSplashForm(const QString &programFolder, QWidget *parent)
    : TSplashForm(programFolder, QStringList(), parent)
{
}

TSplashForm::TSplashForm(const QString &programFolder, const QStringList &shownBefore, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), m_programFolder(programFolder),
      m_shown(shownBefore)
{
    setObjectName(QStringLiteral("SplashForm"));
    setFixedSize(462, 323);
    QFont smallFont = font();
    smallFont.setPointSize(8);
    setFont(smallFont);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    QFrame *back = panel(this, rect(), Qt::black);
    Picture = new QLabel(back);
    Picture->setObjectName(QStringLiteral("Picture"));
    Picture->setGeometry(0, 0, 462, 302);
    // The picture is drawn when the screen is first shown: the hidden screen that takes
    // the progress texts while the program runs holds none.

    QFrame *strip = panel(this, QRect(0, 302, 462, 21), QColor(0xC0, 0xC0, 0xC0));
    ProgressLabel = new QLabel(QStringLiteral("Loading Settings"), strip);
    ProgressLabel->setObjectName(QStringLiteral("ProgressLabel"));
    ProgressLabel->setGeometry(4, 4, 167, 13);
    ProgressLabel->setAlignment(Qt::AlignCenter);
    QPalette red = ProgressLabel->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    ProgressLabel->setPalette(red);

    QFrame *barPanel = panel(strip, QRect(175, 5, 285, 13), QColor(0x80, 0x80, 0x80));
    ProgressBar = new QProgressBar(barPanel);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(barPanel->rect());
    ProgressBar->setRange(0, 50);
    ProgressBar->setValue(50);
    ProgressBar->setTextVisible(false);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    FormCreate();
}

void TSplashForm::showEvent(QShowEvent *event)
{
    if (Picture->pixmap().isNull())
        Picture->setPixmap(splashPicture(Picture->size(), devicePixelRatioF()));
    QWidget::showEvent(event);
}

void TSplashForm::setProgress(const QString &text, int position)
{
    ProgressLabel->setText(text);
    ProgressBar->setValue(position);
    if (isVisible())
        repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// The start-up work, in a fixed order. A stored setting that cannot be read or written
// is shown in the standard exception box and ends the work there; start-up goes on.
void TSplashForm::FormCreate()
{
    ContinueStartup = true;
    try {
        RegistryStore registry(m_programFolder);
        RegistryKey templateKey = registry.openKey(RegistryStore::Root::CurrentUser, templateKeyPath);
        // The installation leaves the marker in "Template"; the first start replaces it,
        // so these writes happen once per installation.
        if (templateKey.readString(QStringLiteral("Template")) == firstStartMarker) {
            writeShellEntries(registry);
            writeWindowDefaults(registry);
            templateKey.writeString(QStringLiteral("Template"), htmlTemplate());
        }

        if (!installationComplete()) {
            report(QMessageBox::Critical, QStringLiteral("Fatal Error"),
                   QStringLiteral("This program has not been properly installed.\n"
                                  "Please reinstall Loomwright 99"));
            QCoreApplication::quit();
            ContinueStartup = false;
            return;
        }

        if (!hasFolder(QStringLiteral("common code")))
            QDir(m_programFolder).mkdir(QStringLiteral("Common Code")); // a failure is of no consequence

        if (!hasFolder(QStringLiteral("tree control"))) {
            report(QMessageBox::Warning, QStringLiteral("Loomwright 99"),
                   QStringLiteral("This program has not been installed correctly.\n"
                                  "It will still run, but the Sylvex feature will not function "
                                  "correctly as the required image files are missing.\n"
                                  "Please re-install Loomwright 99."));
        }
    } catch (const Failure &failure) {
        reportFailure(failure.message());
    } catch (const std::exception &e) {
        reportFailure(QString::fromLocal8Bit(e.what()));
    }
}

void TSplashForm::report(QMessageBox::Icon icon, const QString &caption, const QString &text)
{
    if (m_shown.contains(text))
        return;
    m_shown.append(text);
    QMessageBox box(icon, caption, text, QMessageBox::Ok);
    box.exec();
}

// A failure of the stored settings, in the standard exception message box.
void TSplashForm::reportFailure(const QString &message)
{
    if (m_shown.contains(message))
        return;
    m_shown.append(message);
    ExceptionBox::show(nullptr, message);
}

// Registers the program with the desktop's file types: an "Edit" verb for HTML files
// and the site-file type (.sit, .site) opened by the program.
void TSplashForm::writeShellEntries(RegistryStore &registry) const
{
    const QString programPath = QDir::toNativeSeparators(
        QDir(m_programFolder).filePath(QFileInfo(QCoreApplication::applicationFilePath()).fileName()));
    const QString command = QLatin1Char('"') + programPath + QStringLiteral("\" \"%1\"");
    const auto root = RegistryStore::Root::ClassesRoot;

    registry.openKey(root, QStringLiteral("\\htmlfile\\shell\\Edit_in_Loomwright_99"))
        .writeString(QString(), QStringLiteral("&Edit in Loomwright 99"));
    registry.openKey(root, QStringLiteral("\\htmlfile\\shell\\Edit_in_Loomwright_99\\command"))
        .writeString(QString(), command);
    registry.openKey(root, QStringLiteral("\\sitefile"))
        .writeString(QString(), QStringLiteral("Web Site File"));
    registry.openKey(root, QStringLiteral("\\sitefile\\DefaultIcon"))
        .writeString(QString(), programPath + QStringLiteral(",3"));
    registry.openKey(root, QStringLiteral("\\sitefile\\shell\\Open\\command"))
        .writeString(QString(), command);
    for (const QString &extension : {QStringLiteral("\\.sit"), QStringLiteral("\\.site")}) {
        RegistryKey key = registry.openKey(root, extension);
        key.writeString(QString(), QStringLiteral("sitefile"));
        key.writeString(QStringLiteral("Content Type"), QStringLiteral("text/plain"));
    }
}

// The main window's first placement: maximised over the whole primary screen.
void TSplashForm::writeWindowDefaults(RegistryStore &registry) const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->geometry().size() : QSize();
    RegistryKey position = registry.openKey(RegistryStore::Root::CurrentUser, positionKeyPath);
    position.writeDword(QStringLiteral("Maximised"), 1);
    position.writeDword(QStringLiteral("Left"), 0);
    position.writeDword(QStringLiteral("Width"), quint32(size.width()));
    position.writeDword(QStringLiteral("Top"), 0);
    position.writeDword(QStringLiteral("Height"), quint32(size.height()));
    position.writeDword(QStringLiteral("IEHeight"), quint32(size.height() / 5)); // a fifth, rounded down
}

bool TSplashForm::installationComplete() const
{
    const QDir folder(m_programFolder);
    for (const QString &name :
         {QStringLiteral("tags.db"), QStringLiteral("attributes.db"), QStringLiteral("css.db")})
        if (!QFileInfo(folder.filePath(name)).isFile())
            return false;
    return true;
}

// Looks for a folder in the program folder, whatever the case of its name. Unlike a
// change of folder, this leaves the process's current folder as it is.
bool TSplashForm::hasFolder(const QString &name) const
{
    const QStringList folders =
        QDir(m_programFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    return std::any_of(folders.begin(), folders.end(),
                       [&name](const QString &folder) { return Strings::sameText(folder, name); });
}
