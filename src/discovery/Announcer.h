#pragma once
// Announces the servers over mDNS through the local avahi-daemon (its client
// library, on a poll thread of its own). A name taken by another instrument
// on the network is changed ("QZ4471 SIM #2"). One stderr line says how the
// announcement went.
#include "discovery/ServiceRecords.h"

#include <string>
#include <vector>

struct AvahiClient;
struct AvahiEntryGroup;
struct AvahiThreadedPoll;

namespace discovery {

class Announcer {
public:
    Announcer() = default;
    ~Announcer();
    Announcer(const Announcer&) = delete;
    Announcer& operator=(const Announcer&) = delete;

    // ipv4Only: announce over IPv4 mDNS only (a server on an IPv4 address).
    // False, with why(), when no avahi-daemon answers.
    bool start(const std::string& name, std::vector<Service> services, std::vector<std::string> txt, bool ipv4Only);
    // Withdraws the records; for every end of the program.
    void stop();
    const std::string& why() const { return why_; }

private:
    friend struct AvahiCallbacks;
    // On the poll thread: the daemon's and the records' states.
    void clientChanged(AvahiClient* client, int state);
    void groupChanged(AvahiEntryGroup* group, int state);
    void publish(AvahiClient* client);
    void say(const std::string& line) const;

    // Set before the poll thread starts, then used by its callbacks only
    // (they run under the poll's own lock); stop() ends the thread first.
    AvahiThreadedPoll* poll_ = nullptr;
    AvahiClient* client_ = nullptr;
    AvahiEntryGroup* group_ = nullptr;
    std::string name_;
    std::vector<Service> services_;
    std::vector<std::string> txt_;
    int protocol_ = -1;
    std::string why_;
};

}  // namespace discovery
