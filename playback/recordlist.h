#pragma once
// Tfm_list: the record list window and its list view `lv` of this run's
// files. An entry is caption (file name), path (hidden column), length text
// ("__:__:__" while recording) and a state image. Every operation ignores an
// index that names no entry, so a stale index can never touch another file.

#include <QIcon>
#include <QTreeWidget>
#include <QWidget>
#include <functional>

class TSkin;

enum StateImage { image_playing = 0, image_paused = 1, image_idle = 2, image_recording = 3 };

class Tfm_list : public QWidget
{
    Q_OBJECT
public:
    explicit Tfm_list(QWidget *parent = nullptr);

    // The main window's skin, applied with the form "List" at each showing.
    void set_skin(TSkin *skin) { m_skin = skin; }
    // The selection rule's receiver: the main window's current file.
    void set_selection_handler(std::function<void(int index, const QString &path)> handler)
    {
        m_on_select = std::move(handler);
    }

    int append_entry(const QString &caption, const QString &path, const QString &length_text,
                     int image = image_idle);
    void set_image(int index, int image);
    int image_of(int index) const;
    void set_length_text(int index, const QString &text);
    QString length_text_of(int index) const;
    QString caption_of(int index) const;
    QString path_of(int index) const;
    int count() const;
    int selected_index() const;
    void select(int index);
    void focus();
    void delete_entry(int index);
    void delete_all();

    QTreeWidget *lv = nullptr;
    static QIcon state_image(int image);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    void lvSelectItem();

    TSkin *m_skin = nullptr;
    std::function<void(int, const QString &)> m_on_select;
};
