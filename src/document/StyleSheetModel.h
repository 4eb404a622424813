#pragma once

#include <QAbstractItemModel>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

// One declaration: name "=" value, with its value kind as picture.
struct AttributeNode
{
    QString label;
    int picture = 0;
};

// One selector with its declarations in order.
struct ElementNode
{
    QString label;
    int picture = 0;
    std::vector<AttributeNode> attributes;
    int row = 0; // position under the root, kept up to date by the model
};

using ElementNodes = std::vector<std::unique_ptr<ElementNode>>;

// The style sheet as the `Elements` view shows it: a single root "Elements", the
// element nodes under it, and under each its attribute nodes. Every change goes
// through the named methods below, which alone emit the model's row signals.
// Answers per index in constant time, so large style sheets scroll smoothly.
class StyleSheetModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Level { RootLevel = 0, ElementLevel = 1, AttributeLevel = 2 };
    static constexpr int PictureRole = Qt::UserRole + 1;

    explicit StyleSheetModel(QObject *parent = nullptr);
    ~StyleSheetModel() override;

    // Reading
    const QString &rootLabel() const { return m_rootLabel; }
    int elementCount() const { return int(m_elements.size()); }
    const ElementNode &element(int position) const { return *m_elements[size_t(position)]; }
    const ElementNodes &elements() const { return m_elements; }

    QModelIndex rootIndex() const;
    QModelIndex elementIndex(int position) const;
    QModelIndex attributeIndex(int element, int attribute) const;
    // Level of an index: root, element or attribute; -1 for an invalid index.
    static int levelOf(const QModelIndex &index);
    // Position of the element an element or attribute index belongs to; -1 otherwise.
    int elementOf(const QModelIndex &index) const;

    // Changes
    void replaceContent(ElementNodes elements);
    void insertElement(int position, const QString &label, int picture);
    int appendElement(const QString &label, int picture);
    int appendAttribute(int element, const QString &label, int picture);
    void relabelRoot(const QString &label);
    void relabelElement(int element, const QString &label);
    void relabelAttribute(int element, int attribute, const QString &label);
    void deleteAttribute(int element, int attribute);
    void deleteAttributes(int element);

    // The view's icons: picture number -> decoration (a QIcon), set by the window.
    void setDecorationProvider(std::function<QVariant(int picture)> provider);

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    // A label was edited in place in the view; `changed` tells whether the text differs.
    void labelEdited(const QModelIndex &index, bool changed);

private:
    ElementNode *elementFor(const QModelIndex &index) const;
    void renumberFrom(int position);

    QString m_rootLabel = QStringLiteral("Elements");
    ElementNodes m_elements;
    std::function<QVariant(int)> m_decoration;
};
