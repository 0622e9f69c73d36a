#include "discovery/Announcer.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>

#include <cstdio>

namespace discovery {

struct AvahiCallbacks {
    static void client(AvahiClient* c, AvahiClientState state, void* self) {
        static_cast<Announcer*>(self)->clientChanged(c, state);
    }
    static void group(AvahiEntryGroup* g, AvahiEntryGroupState state, void* self) {
        static_cast<Announcer*>(self)->groupChanged(g, state);
    }
};

Announcer::~Announcer() { stop(); }

void Announcer::say(const std::string& line) const {
    // One write: a line from the poll thread stays whole among the main thread's.
    std::fprintf(stderr, "qz4471: %s\n", line.c_str());
}

bool Announcer::start(const std::string& name, std::vector<Service> services, std::vector<std::string> txt,
                      bool ipv4Only) {
    stop();
    name_ = name;
    services_ = std::move(services);
    txt_ = std::move(txt);
    protocol_ = ipv4Only ? AVAHI_PROTO_INET : AVAHI_PROTO_UNSPEC;
    poll_ = avahi_threaded_poll_new();
    if (!poll_) {
        why_ = "cannot make a poll thread";
        return false;
    }
    int error = 0;
    // The first callbacks run here, before the thread starts.
    client_ = avahi_client_new(avahi_threaded_poll_get(poll_), AvahiClientFlags(0), &AvahiCallbacks::client, this,
                               &error);
    if (!client_) {
        why_ = std::string("no avahi-daemon answers (") + avahi_strerror(error) + ")";
        stop();
        return false;
    }
    if (avahi_threaded_poll_start(poll_) < 0) {
        why_ = "cannot start the poll thread";
        stop();
        return false;
    }
    return true;
}

void Announcer::stop() {
    if (poll_) avahi_threaded_poll_stop(poll_);
    if (client_) avahi_client_free(client_);  // frees the group too: the records are withdrawn
    if (poll_) avahi_threaded_poll_free(poll_);
    client_ = nullptr;
    group_ = nullptr;
    poll_ = nullptr;
}

void Announcer::clientChanged(AvahiClient* client, int state) {
    switch (state) {
    case AVAHI_CLIENT_S_RUNNING: publish(client); break;
    case AVAHI_CLIENT_S_COLLISION:
    case AVAHI_CLIENT_S_REGISTERING:  // the host name changes: announce again once it is settled
        if (group_) avahi_entry_group_reset(group_);
        break;
    case AVAHI_CLIENT_FAILURE:
        say(std::string("DNS-SD announcement ended: ") + avahi_strerror(avahi_client_errno(client)));
        break;
    default: break;
    }
}

void Announcer::groupChanged(AvahiEntryGroup* group, int state) {
    switch (state) {
    case AVAHI_ENTRY_GROUP_ESTABLISHED: {
        std::string types;
        for (const Service& s : services_) types += (types.empty() ? "" : ", ") + s.type;
        say("announced as \"" + name_ + "\" with DNS-SD (" + types + ")");
        break;
    }
    case AVAHI_ENTRY_GROUP_COLLISION: {
        char* other = avahi_alternative_service_name(name_.c_str());
        name_ = other;
        avahi_free(other);
        avahi_entry_group_reset(group);
        publish(avahi_entry_group_get_client(group));
        break;
    }
    case AVAHI_ENTRY_GROUP_FAILURE:
        say(std::string("DNS-SD announcement failed: ") +
            avahi_strerror(avahi_client_errno(avahi_entry_group_get_client(group))));
        break;
    default: break;
    }
}

void Announcer::publish(AvahiClient* client) {
    if (!group_) group_ = avahi_entry_group_new(client, &AvahiCallbacks::group, this);
    if (!group_) {
        say(std::string("DNS-SD off: ") + avahi_strerror(avahi_client_errno(client)));
        return;
    }
    if (!avahi_entry_group_is_empty(group_)) return;
    AvahiStringList* txt = nullptr;
    for (auto it = txt_.rbegin(); it != txt_.rend(); ++it) txt = avahi_string_list_add(txt, it->c_str());
    int error = 0;
    for (const Service& s : services_) {
        error = avahi_entry_group_add_service_strlst(group_, AVAHI_IF_UNSPEC, AvahiProtocol(protocol_),
                                                     AvahiPublishFlags(0), name_.c_str(), s.type.c_str(), nullptr,
                                                     nullptr, s.port, txt);
        if (error < 0) break;
    }
    avahi_string_list_free(txt);
    if (error == AVAHI_ERR_COLLISION) {
        groupChanged(group_, AVAHI_ENTRY_GROUP_COLLISION);
        return;
    }
    if (error < 0 || (error = avahi_entry_group_commit(group_)) < 0)
        say(std::string("DNS-SD off: ") + avahi_strerror(error));
}

}  // namespace discovery
