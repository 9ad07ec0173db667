#include "folder_tree_model.h"

#include <QCollator>
#include <QDir>
#include <QStandardPaths>
#include <QStorageInfo>

struct FolderTreeModel::Node {
    QString name;
    QString path;
    Node *parent = nullptr;
    int row = 0;
    bool listed = false;
    std::vector<std::unique_ptr<Node>> children;
};

namespace
{

// The user folders in the order the chooser offers them: where recordings go first.
QStringList user_folders()
{
    QStringList out;
    for (auto location : {QStandardPaths::MusicLocation, QStandardPaths::DesktopLocation,
                          QStandardPaths::DocumentsLocation, QStandardPaths::DownloadLocation,
                          QStandardPaths::PicturesLocation, QStandardPaths::MoviesLocation}) {
        const QString p = QDir::cleanPath(QStandardPaths::writableLocation(location));
        if (!p.isEmpty() && p != QDir::homePath() && !out.contains(p))
            out << p;
    }
    return out;
}

bool is_volume(const QStorageInfo &v)
{
    if (!v.isValid() || !v.isReady() || v.isRoot())
        return false;
    const QString where = v.rootPath();
    if (where.startsWith(QLatin1String("/media/")) ||
        where.startsWith(QLatin1String("/run/media/")) || where.startsWith(QLatin1String("/mnt/")))
        return true;
    // Other real disks, but not the system's own mounts.
    static const QStringList system = {QStringLiteral("/boot"), QStringLiteral("/dev"),
                                       QStringLiteral("/proc"), QStringLiteral("/sys"),
                                       QStringLiteral("/run"),  QStringLiteral("/snap"),
                                       QStringLiteral("/var"),  QStringLiteral("/tmp"),
                                       QStringLiteral("/usr"),  QStringLiteral("/etc")};
    for (const QString &s : system)
        if (where == s || where.startsWith(s + QLatin1Char('/')))
            return false;
    return v.device().startsWith("/dev/") && !where.startsWith(QDir::homePath());
}

} // namespace

FolderTreeModel::FolderTreeModel(QObject *parent) : QAbstractItemModel(parent)
{
    const auto place = [this](const QString &name, const QString &path) {
        auto n = std::make_unique<Node>();
        n->name = name;
        n->path = path;
        n->row = static_cast<int>(m_places.size());
        m_places.push_back(std::move(n));
    };
    place(QStringLiteral("Home"), QDir::homePath());
    place(QStringLiteral("File System"), QStringLiteral("/"));
    for (const QStorageInfo &v : QStorageInfo::mountedVolumes())
        if (is_volume(v))
            place(v.displayName().isEmpty() || v.displayName() == v.rootPath()
                      ? QDir(v.rootPath()).dirName()
                      : v.displayName(),
                  v.rootPath());
}

FolderTreeModel::~FolderTreeModel() = default;

FolderTreeModel::Node *FolderTreeModel::node(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<Node *>(index.internalPointer()) : nullptr;
}

void FolderTreeModel::list(Node *n) const
{
    if (n->listed)
        return;
    n->listed = true;
    QDir dir(n->path);
    QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::sort(names.begin(), names.end(), collator);
    QStringList paths;
    for (const QString &name : names)
        paths << QDir::cleanPath(dir.filePath(name));
    if (n->path == QDir::homePath()) {
        // The user folders lead, Music first.
        QStringList first;
        for (const QString &p : user_folders())
            if (paths.removeAll(p) > 0)
                first << p;
        paths = first + paths;
    }
    for (const QString &p : paths) {
        auto child = std::make_unique<Node>();
        child->name = QDir(p).dirName();
        child->path = p;
        child->parent = n;
        child->row = static_cast<int>(n->children.size());
        n->children.push_back(std::move(child));
    }
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    const auto &rows = parent.isValid() ? node(parent)->children : m_places;
    if (static_cast<size_t>(row) >= rows.size())
        return {};
    return createIndex(row, 0, rows[static_cast<size_t>(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex &child) const
{
    const Node *n = node(child);
    if (!n || !n->parent)
        return {};
    return createIndex(n->parent->row, 0, n->parent);
}

int FolderTreeModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return static_cast<int>(m_places.size());
    return static_cast<int>(node(parent)->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

bool FolderTreeModel::hasChildren(const QModelIndex &parent) const
{
    const Node *n = node(parent);
    if (!n)
        return true;
    if (n->listed)
        return !n->children.empty();
    // Peeking is cheap enough: one directory read, stopped at the first folder.
    QDir dir(n->path);
    return !dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks).isEmpty();
}

bool FolderTreeModel::canFetchMore(const QModelIndex &parent) const
{
    const Node *n = node(parent);
    return n && !n->listed;
}

void FolderTreeModel::fetchMore(const QModelIndex &parent)
{
    Node *n = node(parent);
    if (!n || n->listed)
        return;
    Node scratch;
    scratch.path = n->path;
    list(&scratch);
    if (scratch.children.empty()) {
        n->listed = true;
        return;
    }
    beginInsertRows(parent, 0, static_cast<int>(scratch.children.size()) - 1);
    n->children = std::move(scratch.children);
    for (auto &c : n->children)
        c->parent = n;
    n->listed = true;
    endInsertRows();
}

QVariant FolderTreeModel::data(const QModelIndex &index, int role) const
{
    const Node *n = node(index);
    if (!n)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return n->name;
    case Qt::ToolTipRole:
    case path_role:
        return n->path;
    case Qt::DecorationRole:
        if (!n->parent && n->path == QDir::homePath())
            return m_icons.icon(QFileInfo(n->path));
        if (!n->parent && n->path != QDir::homePath())
            return m_icons.icon(QFileIconProvider::Drive);
        return m_icons.icon(QFileIconProvider::Folder);
    default:
        return {};
    }
}

QString FolderTreeModel::path(const QModelIndex &index) const
{
    const Node *n = node(index);
    return n ? n->path : QString();
}

QModelIndex FolderTreeModel::find(const QString &wanted)
{
    const QString target = QDir::cleanPath(wanted);
    for (const auto &place : m_places) {
        const QString base = place->path;
        if (target != base && !target.startsWith(base == QLatin1String("/") ? base : base + '/'))
            continue;
        QModelIndex at = createIndex(place->row, 0, place.get());
        Node *n = place.get();
        while (n->path != target) {
            fetchMore(at);
            Node *next = nullptr;
            for (auto &c : n->children)
                if (target == c->path || target.startsWith(c->path + '/'))
                    next = c.get();
            if (!next)
                break;
            n = next;
            at = createIndex(n->row, 0, n);
        }
        return at;
    }
    return {};
}
