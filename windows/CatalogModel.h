#pragma once
// The catalog's two-level tree: artists, each with one "Retrieving..." child until its tracks
// are loaded, then its tracks. Every item carries the item value the window acts on: -1 an
// artist not loaded, -2 one loaded, 0 the placeholder, a track's ID. Main thread.

#include <QAbstractItemModel>
#include <QString>
#include <cstdint>
#include <vector>

class CADODataBase;

class CatalogModel : public QAbstractItemModel {
    Q_OBJECT
public:
    static constexpr int32_t kArtistNotLoaded = -1;
    static constexpr int32_t kArtistLoaded = -2;
    static constexpr int32_t kPlaceholder = 0;

    CatalogModel(CADODataBase* database, QString retrievingText, QObject* parent = nullptr);

    // Throws the tree away and reads the artists again. On a database error the tree stays
    // empty, false is returned and LastError() says why.
    bool Rebuild();
    // Loads the tracks of an artist not loaded yet in place of its placeholder; true when
    // there is nothing to load. On an error the artist stays empty and loaded.
    bool LoadArtist(const QModelIndex& artist);
    int32_t ItemValue(const QModelIndex& index) const;
    const QString& LastError() const { return lastError_; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The end of a label edit: stores the new name (an artist in every row that has it, else
    // the track of the item's value) and takes the label only when the store succeeds.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    // A new name the database did not take; the label kept its old text.
    void RenameFailed(const QString& error);

private:
    struct Item {
        QString text;
        int32_t value = 0;
    };
    struct Artist {
        Item item;
        std::vector<Item> children;
    };
    Item* ItemAt(const QModelIndex& index);
    const Item* ItemAt(const QModelIndex& index) const;

    CADODataBase* database_;
    QString retrievingText_;
    std::vector<Artist> artists_;
    QString lastError_;
};
