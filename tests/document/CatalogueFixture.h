#pragma once

#include "Catalogue.h"
#include "Document.h"
#include "ImageList.h"
#include "TestCatalogue.h"

#include <QTemporaryDir>
#include <QTest>

// The small test catalogue (TestCatalogue::writeStandard) opened from a temporary
// folder, and documents started from it as the editor starts them: the element list,
// then the pseudo-class nodes.
class CatalogueFixture
{
public:
    // Call from initTestCase; fails the test when the tables cannot be made.
    bool open()
    {
        const QString error = TestCatalogue::writeStandard(m_dir.path());
        if (!error.isEmpty()) {
            qWarning("test catalogue: %s", qPrintable(error));
            return false;
        }
        catalogue.open(m_dir.path());
        return true;
    }

    // Each document starts from a fresh image list, so that row k shows picture 5 + k.
    void start(Document &document)
    {
        images = ImageList();
        document.applyElementList(catalogue.buildElementList(images));
        document.addPseudoClassNodes();
    }

    QString folder() const { return m_dir.path(); }

    Catalogue catalogue;
    ImageList images;

private:
    QTemporaryDir m_dir;
};
