#include "windows/CatalogModel.h"

#include "windows/CatalogStore.h"

namespace {

// The internal ID of a track or placeholder is its artist's row plus one; 0 marks an artist.
constexpr quintptr kTopLevel = 0;

}  // namespace

CatalogModel::CatalogModel(CADODataBase* database, QString retrievingText, QObject* parent)
    : QAbstractItemModel(parent), database_(database), retrievingText_(std::move(retrievingText)) {}

bool CatalogModel::Rebuild() {
    beginResetModel();
    artists_.clear();
    std::vector<std::string> names;
    std::string error;
    const bool ok = CatalogStore::ReadArtists(database_, names, error);
    artists_.reserve(names.size());
    for (const std::string& name : names) {
        Artist artist{{QString::fromStdString(name), kArtistNotLoaded}, {}};
        artist.children.push_back({retrievingText_, kPlaceholder});
        artists_.push_back(std::move(artist));
    }
    endResetModel();
    lastError_ = ok ? QString() : QString::fromStdString(error);
    return ok;
}

bool CatalogModel::LoadArtist(const QModelIndex& index) {
    if (!index.isValid() || index.internalId() != kTopLevel) return true;
    Artist& artist = artists_[size_t(index.row())];
    if (artist.item.value != kArtistNotLoaded) return true;
    artist.item.value = kArtistLoaded;
    if (!artist.children.empty()) {
        beginRemoveRows(index, 0, 0);
        artist.children.erase(artist.children.begin());
        endRemoveRows();
    }
    std::vector<CatalogStore::Track> tracks;
    std::string error;
    const bool ok =
        CatalogStore::ReadArtistTracks(database_, artist.item.text.toStdString(), tracks, error);
    lastError_ = ok ? QString() : QString::fromStdString(error);
    if (tracks.empty()) return ok;
    const int first = int(artist.children.size());
    beginInsertRows(index, first, first + int(tracks.size()) - 1);
    for (const auto& track : tracks)
        artist.children.push_back({QString::fromStdString(track.name), track.id});
    endInsertRows();
    return ok;
}

CatalogModel::Item* CatalogModel::ItemAt(const QModelIndex& index) {
    return const_cast<Item*>(std::as_const(*this).ItemAt(index));
}

const CatalogModel::Item* CatalogModel::ItemAt(const QModelIndex& index) const {
    if (!index.isValid()) return nullptr;
    if (index.internalId() == kTopLevel) return &artists_[size_t(index.row())].item;
    return &artists_[size_t(index.internalId() - 1)].children[size_t(index.row())];
}

int32_t CatalogModel::ItemValue(const QModelIndex& index) const {
    const Item* item = ItemAt(index);
    return item ? item->value : 0;
}

QModelIndex CatalogModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) return {};
    if (!parent.isValid())
        return row < int(artists_.size()) ? createIndex(row, 0, kTopLevel) : QModelIndex();
    if (parent.internalId() != kTopLevel) return {};
    const Artist& artist = artists_[size_t(parent.row())];
    if (row >= int(artist.children.size())) return {};
    return createIndex(row, 0, quintptr(parent.row()) + 1);
}

QModelIndex CatalogModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == kTopLevel) return {};
    return createIndex(int(child.internalId() - 1), 0, kTopLevel);
}

int CatalogModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return int(artists_.size());
    if (parent.internalId() != kTopLevel) return 0;
    return int(artists_[size_t(parent.row())].children.size());
}

int CatalogModel::columnCount(const QModelIndex&) const { return 1; }

QVariant CatalogModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    const Item* item = ItemAt(index);
    return item ? QVariant(item->text) : QVariant();
}

Qt::ItemFlags CatalogModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool CatalogModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    Item* item = ItemAt(index);
    if (!item || role != Qt::EditRole) return false;
    const QString text = value.toString();
    std::string error;
    const bool artist = item->value == kArtistNotLoaded || item->value == kArtistLoaded;
    const bool stored =
        artist ? CatalogStore::RenameArtist(database_, item->text.toStdString(), text.toStdString(),
                                            error)
               : CatalogStore::RenameTrack(database_, item->value, text.toStdString(), error);
    if (!stored) {
        emit RenameFailed(QString::fromStdString(error));
        return false;
    }
    item->text = text;
    emit dataChanged(index, index);
    return true;
}
