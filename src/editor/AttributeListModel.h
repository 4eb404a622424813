#pragma once

#include "Catalogue.h"

#include <QAbstractItemModel>
#include <QString>
#include <functional>
#include <vector>

// The attribute catalogue as the `Properties` view shows it: a single root
// "Attributes", under it every attribute of the catalogue (picture = its value kind),
// and under each choice attribute its allowed words (picture 4). Built once at
// start-up; the attribute nodes are the template from which the value editors take
// each attribute's kind.
class AttributeListModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    // The same role as the document model's, so views and handlers read both alike.
    static constexpr int PictureRole = Qt::UserRole + 1;
    enum Level { RootLevel = 0, AttributeLevel = 1, ChoiceLevel = 2 };

    explicit AttributeListModel(QObject *parent = nullptr);

    void setAttributes(std::vector<Catalogue::AttributeEntry> attributes);
    const std::vector<Catalogue::AttributeEntry> &attributes() const { return m_attributes; }
    const QString &rootLabel() const { return m_rootLabel; }

    QModelIndex rootIndex() const;
    QModelIndex attributeIndex(int attribute) const;
    QModelIndex choiceIndex(int attribute, int choice) const;
    // Root, attribute or choice; -1 for an invalid index.
    static int levelOf(const QModelIndex &index);

    // The view's icons: picture number -> decoration (a QIcon), set by the window.
    void setDecorationProvider(std::function<QVariant(int picture)> provider);

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Labels may be edited in place; an edited label is taken as typed and is what a
    // drag of the node carries.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    // Index scheme (internal id): 0 the root, 1 an attribute, 2 + n a choice of
    // attribute n.
    static constexpr quintptr RootId = 0;
    static constexpr quintptr AttributeId = 1;
    static constexpr quintptr FirstChoiceId = 2;

    QString m_rootLabel = QStringLiteral("Attributes");
    std::vector<Catalogue::AttributeEntry> m_attributes;
    std::function<QVariant(int)> m_decoration;
};
