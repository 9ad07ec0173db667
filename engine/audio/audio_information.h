#pragma once
// TAudioInformation2: tags of MP3 (ID3v2), WMA (ASF attributes), OGG (Vorbis
// comments) and WAV (RIFF INFO and ID3) files, over TagLib. The properties
// keep their values between calls: ReadFromFile overwrites all of them,
// WriteToFile writes all of them. Both return false for a file they cannot
// read or write (nothing is thrown); the properties are left unchanged then.
// infoGenreIndex is the position in genre_names() (genres.h), -1 for none.

#include <QObject>
#include <QString>
#include <cstdint>

class TAudioInformation2 : public QObject
{
    Q_OBJECT
public:
    explicit TAudioInformation2(QObject *parent = nullptr) : QObject(parent) {}

    bool Active() const { return m_active; }
    void setActive(bool active) { m_active = active; }

    bool ReadFromFile(const QString &path);
    bool WriteToFile(const QString &path);

    QString infoTitle, infoArtist, infoAlbum, infoComments, infoGenreS;
    int16_t infoGenreIndex = -1;
    int32_t infoYear = 0;
    int16_t infoTrack = 0;

private:
    bool m_active = false;
};
