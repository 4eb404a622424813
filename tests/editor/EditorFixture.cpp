#include "EditorFixture.h"

#include "Catalogue.h"
#include "ElementsTreeView.h"
#include "FileDialogs.h"
#include "Messages.h"
#include "RegistryStore.h"
#include "TMainForm.h"
#include "TestCatalogue.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <csignal>

void EditorFixture::writeCatalogue(const QString &folder)
{
    const QStringList elements = {QStringLiteral("!--"), QStringLiteral("!DOCTYPE"), QStringLiteral("*"),
                                  QStringLiteral("A"),   QStringLiteral("B"),        QStringLiteral("BODY"),
                                  QStringLiteral("H1"),  QStringLiteral("P")};
    const QList<TestCatalogue::Attribute> attributes = {
        {QStringLiteral("color"), QStringLiteral("<Color>")},
        {QStringLiteral("background-color"), QStringLiteral("<Color>")},
        {QStringLiteral("font-size"), QStringLiteral("<Number>")},
        {QStringLiteral("font-family"), QStringLiteral("<Font>")},
        {QStringLiteral("background-image"), QStringLiteral("<URL>")},
        {QStringLiteral("text-align"), QStringLiteral("left\ncenter\nright")},
        {QStringLiteral("weird"), QStringLiteral("<Colour>")},
        {QStringLiteral("plain"), QString()},
    };
    const QString error = TestCatalogue::write(folder, elements, attributes);
    if (!error.isEmpty())
        qFatal("cannot write the catalogue: %s", qPrintable(error));
}

QString EditorFixture::catalogueFolder()
{
    const QString beside = QCoreApplication::applicationDirPath();
    if (Catalogue::tablesPresent(beside))
        return beside;
    static QTemporaryDir small;
    static bool written = false;
    if (!written) {
        writeCatalogue(small.path());
        written = true;
    }
    return small.path();
}

void EditorFixture::prepareApplication()
{
    QCoreApplication::setApplicationName(Messages::ApplicationTitle);
    QApplication::setQuitOnLastWindowClosed(false);
    // Unsaved work that an earlier, interrupted run left behind is never offered here:
    // each run keeps its recovery files in a folder of its own.
    static QTemporaryDir state;
    qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
}

std::unique_ptr<TMainForm> EditorFixture::startMainWindow(const QString &commandLineFile,
                                                          std::optional<DocumentForm> newForm)
{
    auto form = std::make_unique<TMainForm>();
    form->setCatalogueFolder(catalogueFolder());
    form->setNewDocumentForm(newForm);
    form->setPendingCommandLineFile(commandLineFile);
    if (!form->FormCreate())
        return nullptr;
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        return nullptr;
    // The first showing activates the window by itself.
    if (!QTest::qWaitFor([&form] { return form->document().hasPseudoClassNodes(); }))
        return nullptr;
    return form;
}

void EditorFixture::editDocument(TMainForm &form, const QString &declaration)
{
    StyleSheetModel &elements = form.document().elements();
    for (int i = 0; i < elements.elementCount(); ++i) {
        if (elements.element(i).label == QLatin1String("BODY")) {
            const QString name = declaration.section(QLatin1Char('='), 0, 0);
            elements.sheet().appendAttribute(i, declaration, form.catalogue().findAttributeKind(name));
            break;
        }
    }
    form.document().setModified(true);
}

QModelIndex EditorFixture::findNode(TMainForm &form, const QString &element, const QString &attribute)
{
    const StyleSheetModel &elements = form.document().elements();
    if (element.isEmpty())
        return elements.rootIndex();
    for (int i = 0; i < elements.elementCount(); ++i) {
        if (elements.element(i).label != element)
            continue;
        if (attribute.isNull())
            return elements.elementIndex(i);
        const auto &attributes = elements.element(i).attributes;
        for (size_t a = 0; a < attributes.size(); ++a)
            if (attributes[a].label(form.document().form()) == attribute)
                return elements.attributeIndex(i, int(a));
    }
    return {};
}

QModelIndex EditorFixture::findPath(TMainForm &form, const QStringList &labels)
{
    const StyleSheetModel &elements = form.document().elements();
    QModelIndex node = elements.rootIndex();
    for (const QString &label : labels) {
        QModelIndex found;
        for (int row = 0; row < elements.rowCount(node) && !found.isValid(); ++row)
            if (elements.index(row, 0, node).data().toString() == label)
                found = elements.index(row, 0, node);
        if (!found.isValid())
            return {};
        node = found;
    }
    return node;
}

QStringList EditorFixture::attributeLabels(TMainForm &form, const QString &element)
{
    QStringList labels;
    const QModelIndex node = findNode(form, element);
    for (int row = 0; row < form.document().elements().rowCount(node); ++row)
        labels << node.model()->index(row, 0, node).data().toString();
    return labels;
}

void EditorFixture::clickNode(TMainForm &form, const QModelIndex &node)
{
    QTreeView *tree = form.Elements;
    QPoint at;
    if (node.isValid()) {
        if (node.parent().isValid())
            tree->expand(node.parent());
        tree->scrollTo(node);
        at = tree->visualRect(node).center();
    } else {
        // Below the last node: collapse the root so that empty space shows.
        tree->collapse(form.document().elements().rootIndex());
        at = QPoint(tree->viewport()->width() / 2, tree->viewport()->height() - 5);
    }
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QCoreApplication::processEvents();
}

void EditorFixture::rememberDialogFolder(const QString &name, const QString &folder)
{
    RegistryStore registry;
    registry.openKey(RegistryStore::Root::CurrentUser, FileDialogs::FoldersKey).writeString(name, folder);
}

void EditorFixture::writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray EditorFixture::readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

EditorFixture::FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    getrlimit(RLIMIT_FSIZE, &m_saved);
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_saved;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

EditorFixture::FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_handler);
}
