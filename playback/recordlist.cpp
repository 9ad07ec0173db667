#include "recordlist.h"

#include "audio/audio_file.h"
#include "file_manager.h"
#include "skin/skin.h"

#include <QCloseEvent>
#include <QKeySequence>
#include <QSignalBlocker>

#include <QHeaderView>
#include <QPainter>
#include <QPainterPath>

namespace
{

enum Column { column_name = 0, column_path = 1, column_time = 2 };

QPixmap draw_state_image(int image, qreal dpr)
{
    QPixmap pixmap(QSize(16, 16) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    switch (image) {
    case image_playing: {
        QPainterPath triangle;
        triangle.moveTo(4.5, 3);
        triangle.lineTo(13, 8);
        triangle.lineTo(4.5, 13);
        triangle.closeSubpath();
        p.setBrush(QColor(64, 214, 120));
        p.drawPath(triangle);
        break;
    }
    case image_paused:
        p.setBrush(QColor(242, 190, 60));
        p.drawRoundedRect(QRectF(4, 3.5, 3, 9), 1, 1);
        p.drawRoundedRect(QRectF(9, 3.5, 3, 9), 1, 1);
        break;
    case image_recording:
        p.setBrush(QColor(236, 64, 64));
        p.drawEllipse(QRectF(3.5, 3.5, 9, 9));
        break;
    default: // idle: a quiet note on a dark disc
        p.setBrush(QColor(78, 86, 96));
        p.drawEllipse(QRectF(3, 3, 10, 10));
        p.setBrush(QColor(170, 178, 186));
        p.drawEllipse(QRectF(6, 6, 4, 4));
        break;
    }
    return pixmap;
}

} // namespace

QIcon Tfm_list::state_image(int image)
{
    QIcon icon;
    icon.addPixmap(draw_state_image(image, 1.0));
    icon.addPixmap(draw_state_image(image, 2.0));
    return icon;
}

Tfm_list::Tfm_list(QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      m_file_manager(std::make_unique<FileManager>())
{
    setWindowTitle(QStringLiteral("Record List"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(333, 215);
    build_view();
    build_menu();
    FormCreate();
}

Tfm_list::~Tfm_list() = default;

void Tfm_list::set_file_manager(std::unique_ptr<FileManager> file_manager)
{
    m_file_manager = std::move(file_manager);
}

void Tfm_list::FormCreate()
{
    AudioFile = new TAudioFile2(this);
    AudioFile->setActive(true);
}

void Tfm_list::closeEvent(QCloseEvent *event)
{
    FormClose();
    QWidget::closeEvent(event);
}

void Tfm_list::FormClose()
{
    AudioFile->setActive(false);
}

void Tfm_list::build_view()
{

    lv = new QTreeWidget(this);
    lv->setObjectName(QStringLiteral("lv"));
    lv->setColumnCount(3);
    lv->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Path"), QStringLiteral("Time")});
    lv->setHeaderHidden(true);
    lv->setRootIsDecorated(false);
    lv->setItemsExpandable(false);
    lv->setSortingEnabled(false);
    lv->setSelectionMode(QAbstractItemView::SingleSelection);
    lv->setSelectionBehavior(QAbstractItemView::SelectRows);
    lv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lv->setFrameShape(QFrame::NoFrame);
    lv->setIconSize(QSize(16, 16));
    lv->setUniformRowHeights(true);
    lv->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lv->header()->setStretchLastSection(false);
    lv->header()->setSectionResizeMode(QHeaderView::Fixed);
    lv->setColumnWidth(column_name, 255);
    lv->setColumnWidth(column_path, 0);
    lv->setColumnHidden(column_path, true);
    lv->setColumnWidth(column_time, 55);
    // The fixed 55-pixel time column must hold "00:00:00" whole.
    QFont font = lv->font();
    font.setPixelSize(10);
    lv->setFont(font);
    lv->setTextElideMode(Qt::ElideMiddle);
    lv->setStyleSheet(
        QStringLiteral("QTreeView { background: black; color: rgb(226, 229, 231); outline: 0; }"
                       "QTreeView::item { padding: 1px 0px; border: 0px; }"
                       "QTreeView::item:selected { background: rgb(38, 74, 112); color: white; }"));
    lv->setGeometry(11, 43, 311, 157);
    lv->setAccessibleName(QStringLiteral("Recordings"));
    lv->installEventFilter(this);
    connect(lv, &QTreeWidget::itemSelectionChanged, this, &Tfm_list::lvSelectItem);
}

void Tfm_list::showEvent(QShowEvent *event)
{
    FormShow();
    QWidget::showEvent(event);
}

void Tfm_list::FormShow()
{
    // A user's skin may lack the list's form: the list then shows unskinned.
    if (m_skin && m_skin->Loaded() && m_skin->FormNames().contains(QStringLiteral("List"))) {
        m_skin->AttachWindow(this);
        m_skin->ApplySkinForm(this, QStringLiteral("List"));
        ISkinForm *form = m_skin->GetSkinForm(this);
        if (ISkinObject *del = form->FindObject(QStringLiteral("Del")))
            del->SetShortcut(QKeySequence(QKeySequence::Delete).toString(QKeySequence::NativeText));
        // The skin's buttons lie above the rows: Tab reaches them first.
        if (auto *surface = dynamic_cast<QWidget *>(form))
            QWidget::setTabOrder(surface, lv);
    }
    // The view sits inside the skin's frame; it keeps clear of the right edge.
    lv->setGeometry(11, 43, std::min(327, width() - 22), 157);
    lv->raise();
}

int Tfm_list::append_entry(const QString &caption, const QString &path, const QString &length_text,
                           int image)
{
    auto *item = new QTreeWidgetItem({caption, path, length_text});
    item->setTextAlignment(column_time, Qt::AlignRight | Qt::AlignVCenter);
    item->setToolTip(column_name, path);
    item->setData(column_name, Qt::UserRole, image);
    item->setIcon(column_name, state_image(image));
    lv->addTopLevelItem(item);
    return lv->topLevelItemCount() - 1;
}

void Tfm_list::set_image(int index, int image)
{
    if (QTreeWidgetItem *item = lv->topLevelItem(index)) {
        item->setData(column_name, Qt::UserRole, image);
        item->setIcon(column_name, state_image(image));
    }
}

int Tfm_list::image_of(int index) const
{
    const QTreeWidgetItem *item = lv->topLevelItem(index);
    return item ? item->data(column_name, Qt::UserRole).toInt() : -1;
}

void Tfm_list::set_length_text(int index, const QString &text)
{
    if (QTreeWidgetItem *item = lv->topLevelItem(index))
        item->setText(column_time, text);
}

QString Tfm_list::length_text_of(int index) const
{
    const QTreeWidgetItem *item = lv->topLevelItem(index);
    return item ? item->text(column_time) : QString();
}

QString Tfm_list::caption_of(int index) const
{
    const QTreeWidgetItem *item = lv->topLevelItem(index);
    return item ? item->text(column_name) : QString();
}

QString Tfm_list::path_of(int index) const
{
    const QTreeWidgetItem *item = lv->topLevelItem(index);
    return item ? item->text(column_path) : QString();
}

int Tfm_list::count() const
{
    return lv->topLevelItemCount();
}

int Tfm_list::selected_index() const
{
    const QList<QTreeWidgetItem *> selected = lv->selectedItems();
    return selected.isEmpty() ? -1 : lv->indexOfTopLevelItem(selected.first());
}

void Tfm_list::select(int index)
{
    if (QTreeWidgetItem *item = lv->topLevelItem(index)) {
        lv->setCurrentItem(item);
        item->setSelected(true);
    }
}

void Tfm_list::focus()
{
    lv->setFocus();
}

void Tfm_list::delete_entry(int index)
{
    QTreeWidgetItem *item = lv->topLevelItem(index);
    if (!item)
        return;
    // The view would select a neighbour in its place, and the selection rule
    // would make that the current file: after a removal nothing is selected.
    const bool was_selected = item->isSelected();
    {
        const QSignalBlocker quiet(lv);
        delete item;
        if (was_selected) {
            lv->clearSelection();
            lv->setCurrentItem(nullptr);
        }
    }
}

void Tfm_list::delete_all()
{
    lv->clear();
}

void Tfm_list::lvSelectItem()
{
    const int index = selected_index();
    if (index < 0 || !m_host)
        return;
    RecordListHost::SharedState state = m_host->shared_state();
    state.current_item_index = index;
    state.current_file = path_of(index);
    m_host->list_current_changed();
}
