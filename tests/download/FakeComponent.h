#pragma once
// An in-memory peer-to-peer component for the download engine's tests and benchmark: the
// downloads and results are scripted, and every command (not the queries) is recorded as
// text. The state outlives the component, which the engine drops at StopNetwork.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "download/P2PComponent.h"
#include "platform/network/NetworkSetup.h"

namespace sonvera::test {

struct FakeDownload {
    int32_t id = 0;
    std::string name;
    int32_t status = 3;
    int32_t bytes = 0;
    int32_t size = 1 << 20;
};

struct FakeResult {
    int32_t id = 0;
    std::string name;
    int32_t rank = 3;
};

struct FakeState {
    bool record = true;
    std::vector<std::string> ops;
    std::vector<FakeDownload> downloads;
    std::vector<FakeResult> results;  // of whichever search is asked, also an ended one
    std::vector<int32_t> removeFails;
    int32_t peers = 1;
    int32_t nextDownload = 1000;
    int32_t nextSearch = 1;
    std::string folder = "/dl";

    void Op(const std::string& text) {
        if (record) ops.push_back(text);
    }
    FakeDownload* Find(int32_t id) {
        auto it = std::find_if(downloads.begin(), downloads.end(),
                               [id](const FakeDownload& d) { return d.id == id; });
        return it == downloads.end() ? nullptr : &*it;
    }
    FakeDownload& At(int32_t id) {
        if (FakeDownload* d = Find(id)) return *d;
        throw std::out_of_range("no download " + std::to_string(id));
    }
    const FakeResult& Result(int32_t id) const {
        if (id >= 1 && static_cast<size_t>(id) <= results.size() && results[id - 1].id == id)
            return results[id - 1];
        for (const FakeResult& r : results)
            if (r.id == id) return r;
        throw std::out_of_range("no result " + std::to_string(id));
    }
    size_t Count(const std::string& prefix) const {
        return std::count_if(ops.begin(), ops.end(),
                             [&](const std::string& op) { return op.rfind(prefix, 0) == 0; });
    }
};

class FakeComponent final : public P2PComponent {
public:
    explicit FakeComponent(FakeState* state) : s_(*state) {}

    void SetUserText(const std::string& text) override { s_.Op("SetUserText " + text); }
    void SetClientName(const std::string& name) override { s_.Op("SetClientName " + name); }
    void SetClientVersion(const std::string& text) override { s_.Op("SetClientVersion " + text); }
    void SetClientCode(const std::string& code) override { s_.Op("SetClientCode " + code); }
    int32_t BytesPerSecondDown() override { return 700; }
    int32_t BytesPerSecondUp() override { return 300; }
    void ConnectNetwork(int32_t n) override { s_.Op("ConnectNetwork " + std::to_string(n)); }
    void DisconnectNetwork(int32_t n) override { s_.Op("DisconnectNetwork " + std::to_string(n)); }
    int32_t ConnectedPeers() override { return s_.peers; }
    void SetNetworkSwitch(bool on, int32_t n) override {
        s_.Op("SetNetworkSwitch " + std::to_string(on) + " " + std::to_string(n));
    }
    void LoadConfig(const std::string& f) override { s_.Op("LoadConfig " + f); }
    void LoadBlocked(const std::string& f) override { s_.Op("LoadBlocked " + f); }
    void SetListenPort(int32_t port) override { s_.Op("SetListenPort " + std::to_string(port)); }
    void SetTuning(int32_t number, int32_t value) override {
        s_.Op("SetTuning " + std::to_string(number) + " " + std::to_string(value));
    }
    std::string DownloadFolder() override { return s_.folder; }
    void SetShareCompleted(bool on) override { s_.Op("SetShareCompleted " + std::to_string(on)); }
    void SetUploadLimit(double kb) override { s_.Op("SetUploadLimit " + std::to_string(kb)); }
    void LoadHosts(const std::string& f) override { s_.Op("LoadHosts " + f); }
    void LoadUltrapeers(const std::string& f) override { s_.Op("LoadUltrapeers " + f); }
    void LoadWebCaches(const std::string& f) override { s_.Op("LoadWebCaches " + f); }
    void SaveHosts(const std::string& f) override { s_.Op("SaveHosts " + f); }
    void SaveUltrapeers(const std::string& f) override { s_.Op("SaveUltrapeers " + f); }
    void SaveWebCaches(const std::string& f) override { s_.Op("SaveWebCaches " + f); }
    void LoadSchemas(const std::string& f) override { s_.Op("LoadSchemas " + f); }
    void SetSharedFolders(const std::vector<std::string>& folders) override {
        std::string text = "SetSharedFolders";
        for (const std::string& f : folders) text += " " + f;
        s_.Op(text);
    }
    int32_t StartSearch(const std::string& query) override {
        s_.Op("StartSearch " + query);
        return s_.nextSearch++;
    }
    void EndSearch(int32_t search) override { s_.Op("EndSearch " + std::to_string(search)); }
    std::string ResultName(int32_t, int32_t result) override { return s_.Result(result).name; }
    int32_t ResultRank(int32_t, int32_t result) override { return s_.Result(result).rank; }
    std::vector<int32_t> ResultIds(int32_t) override {
        std::vector<int32_t> ids;
        ids.reserve(s_.results.size());
        for (const FakeResult& r : s_.results) ids.push_back(r.id);
        return ids;
    }
    void DownloadResult(int32_t search, int32_t result) override {
        s_.Op("DownloadResult " + std::to_string(search) + " " + std::to_string(result));
        s_.downloads.push_back({s_.nextDownload++, s_.Result(result).name, 3, 0, 1 << 20});
    }
    std::vector<int32_t> DownloadIds() override {
        std::vector<int32_t> ids;
        ids.reserve(s_.downloads.size());
        for (const FakeDownload& d : s_.downloads) ids.push_back(d.id);
        return ids;
    }
    int32_t DownloadStatus(int32_t id) override { return s_.At(id).status; }
    std::string DownloadName(int32_t id) override { return s_.At(id).name; }
    int32_t DownloadBytesReceived(int32_t id) override { return s_.At(id).bytes; }
    int32_t DownloadSize(int32_t id) override { return s_.At(id).size; }
    bool CancelDownload(int32_t id) override {
        s_.Op("CancelDownload " + std::to_string(id));
        return std::count(s_.removeFails.begin(), s_.removeFails.end(), id) == 0;
    }
    bool RemoveDownload(int32_t id) override {
        s_.Op("RemoveDownload " + std::to_string(id));
        if (std::count(s_.removeFails.begin(), s_.removeFails.end(), id)) return false;
        std::erase_if(s_.downloads, [id](const FakeDownload& d) { return d.id == id; });
        return true;
    }
    void FindSources(int32_t id) override { s_.Op("FindSources " + std::to_string(id)); }

private:
    FakeState& s_;
};

class FakeFactory final : public P2PComponentFactory {
public:
    explicit FakeFactory(FakeState* state) : state_(state) {}
    std::unique_ptr<P2PComponent> Create() override {
        ++creates;
        if (!creatable) return nullptr;
        return std::make_unique<FakeComponent>(state_);
    }
    bool creatable = true;
    int creates = 0;

private:
    FakeState* state_;
};

class FakeNetwork final : public NetworkSetup {
public:
    std::string LocalIPv4() override { return "127.0.0.1"; }
    bool AddPortMapping(uint16_t port, const std::string& address,
                        const std::string& description) override {
        mapped.push_back(std::to_string(port) + " " + address + " " + description);
        if (mappingWorks) mappedPort = port;
        return mappingWorks;
    }
    void RemovePortMapping(uint16_t port) override { removed.push_back(port); }
    bool mappingWorks = true;
    uint16_t mappedPort = 0;
    std::vector<std::string> mapped;
    std::vector<uint16_t> removed;
};

}  // namespace sonvera::test
