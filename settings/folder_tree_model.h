#pragma once
// The folder chooser's tree: places at the top (home, the file system root,
// mounted volumes), their subfolders below, each folder read when it is
// first expanded and then kept. Hidden folders are left out. Icons come from
// the desktop theme through QFileIconProvider.

#include <QAbstractItemModel>
#include <QFileIconProvider>
#include <memory>
#include <vector>

class FolderTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    static constexpr int path_role = Qt::UserRole + 1;

    explicit FolderTreeModel(QObject *parent = nullptr);
    ~FolderTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    QString path(const QModelIndex &index) const;
    // The deepest node on the way to `path` under the first place holding it.
    QModelIndex find(const QString &path);

private:
    struct Node;
    Node *node(const QModelIndex &index) const;
    void list(Node *n) const;

    std::vector<std::unique_ptr<Node>> m_places;
    QFileIconProvider m_icons;
};
