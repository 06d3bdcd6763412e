// The structure of a coded key, read from the PICTURE table ("99.99.999": three levels).
#pragma once

#include <QList>
#include <QString>

namespace mrv {

class DBPicture {
public:
    DBPicture() = default;
    explicit DBPicture(const QString& picture);

    QString picture() const { return m_picture; }
    int GetTtNiveis() const { return int(m_levelLengths.size()); } // groups of digit positions
    QList<int> levelLengths() const { return m_levelLengths; }     // "99.99.999" -> 2, 2, 3

private:
    QString m_picture;
    QList<int> m_levelLengths;
};

// Picture of the given kind (1 = dish code), read once through sharedDatabase().
// Throws mrv::Exception when the kind is not registered.
const DBPicture& DBPictObj(int kind);
QString DBPict(int kind);

namespace Internal {
void clearPictureCache(); // the shared connection changed
}

} // namespace mrv
