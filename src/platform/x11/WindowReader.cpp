#include "platform/x11/WindowReader.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace halvern::platform {

namespace {

/// At most this many bytes of a title are read and kept: titles come from web pages.
constexpr std::size_t kTitleBytes = 4096;
constexpr std::uint32_t kTitleLongs = kTitleBytes / 4;

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
using PropertyReply = std::unique_ptr<xcb_get_property_reply_t, FreeReply>;

PropertyReply propertyReply(xcb_connection_t* c, xcb_get_property_cookie_t cookie) {
    xcb_generic_error_t* error = nullptr;
    PropertyReply reply(xcb_get_property_reply(c, cookie, &error));
    std::free(error);
    return reply;
}

/// The bytes of an 8-bit property, cut at its first NUL.
std::string text(xcb_get_property_reply_t* reply) {
    if (!reply || reply->format != 8) {
        return {};
    }
    const auto* data = static_cast<const char*>(xcb_get_property_value(reply));
    const auto length = static_cast<std::size_t>(xcb_get_property_value_length(reply));
    return std::string(data, strnlen(data, length));
}

std::vector<std::uint32_t> longs(xcb_get_property_reply_t* reply) {
    if (!reply || reply->format != 32) {
        return {};
    }
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    return {data, data + xcb_get_property_value_length(reply) / 4};
}

std::string latin1ToUtf8(const std::string& latin1) {
    std::string out;
    for (char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string hostName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) {
        return {};
    }
    return name.data();
}

/// The length of the valid UTF-8 sequence at text[i], 0 when it is invalid.
std::size_t sequenceLength(const std::string& text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    unsigned minimum = 0;
    unsigned code = 0;
    if (c < 0x80) {
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        length = 2, code = c & 0x1Fu, minimum = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3, code = c & 0x0Fu, minimum = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4, code = c & 0x07u, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (next & 0x3Fu);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < minimum || code > 0x10FFFF || surrogate ? 0 : length;
}

}  // namespace

std::string repairUtf8(const std::string& text, std::size_t limit) {
    static const std::string kReplacement = "\xEF\xBF\xBD";
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = sequenceLength(text, i);
        const std::size_t size = length == 0 ? kReplacement.size() : length;
        if (out.size() + size > limit) {
            break;
        }
        out += length == 0 ? kReplacement : text.substr(i, length);
        i += length == 0 ? 1 : length;
    }
    return out;
}

X11Atoms X11Atoms::intern(xcb_connection_t* c) {
    X11Atoms atoms;
    const std::pair<xcb_atom_t*, const char*> names[] = {
        {&atoms.netClientList, "_NET_CLIENT_LIST"},
        {&atoms.netClientListStacking, "_NET_CLIENT_LIST_STACKING"},
        {&atoms.netActiveWindow, "_NET_ACTIVE_WINDOW"},
        {&atoms.netSupportingWmCheck, "_NET_SUPPORTING_WM_CHECK"},
        {&atoms.netWmName, "_NET_WM_NAME"},
        {&atoms.netWmPid, "_NET_WM_PID"},
        {&atoms.netWmWindowType, "_NET_WM_WINDOW_TYPE"},
        {&atoms.netWmWindowTypeDock, "_NET_WM_WINDOW_TYPE_DOCK"},
        {&atoms.netWmWindowTypeDesktop, "_NET_WM_WINDOW_TYPE_DESKTOP"},
        {&atoms.utf8String, "UTF8_STRING"},
        {&atoms.wmState, "WM_STATE"},
        {&atoms.wmWindowRole, "WM_WINDOW_ROLE"},
        {&atoms.wmClientMachine, "WM_CLIENT_MACHINE"},
        {&atoms.wmProtocols, "WM_PROTOCOLS"},
        {&atoms.wmDeleteWindow, "WM_DELETE_WINDOW"},
        {&atoms.atSpiBus, "AT_SPI_BUS"},
    };
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (const auto& [atom, name] : names) {
        cookies.push_back(
            xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name));
    }
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        if (xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookies[i], nullptr)) {
            *names[i].first = reply->atom;
            std::free(reply);
        }
    }
    // The types a browser's pop-ups and dialogs state, and "normal", read by name.
    static constexpr std::array<const char*, 11> kTypes = {
        "normal",  "dialog",       "utility", "popup_menu", "menu",   "dropdown_menu",
        "tooltip", "notification", "combo",   "splash",     "toolbar"};
    std::vector<std::pair<xcb_intern_atom_cookie_t, std::string>> typeCookies;
    for (const char* type : kTypes) {
        std::string atomName = "_NET_WM_WINDOW_TYPE_";
        for (const char* ch = type; *ch != '\0'; ++ch) {
            atomName += static_cast<char>(std::toupper(static_cast<unsigned char>(*ch)));
        }
        typeCookies.emplace_back(
            xcb_intern_atom(c, 0, static_cast<std::uint16_t>(atomName.size()), atomName.c_str()),
            type);
    }
    for (const auto& [cookie, type] : typeCookies) {
        if (xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr)) {
            atoms.windowTypes.emplace_back(reply->atom, type);
            std::free(reply);
        }
    }
    return atoms;
}

WindowReader::WindowReader(xcb_connection_t* connection, Display* display, const X11Atoms& atoms,
                           xcb_window_t root)
    : m_c(connection), m_display(display), m_atoms(atoms), m_root(root), m_hostName(hostName()) {}

TopLevelList WindowReader::listTopLevel() {
    const auto check =
        xcb_get_property(m_c, 0, m_root, m_atoms.netSupportingWmCheck, XCB_ATOM_WINDOW, 0, 1);
    const auto stacking = xcb_get_property(m_c, 0, m_root, m_atoms.netClientListStacking,
                                           XCB_ATOM_WINDOW, 0, 1u << 16);
    const auto clients =
        xcb_get_property(m_c, 0, m_root, m_atoms.netClientList, XCB_ATOM_WINDOW, 0, 1u << 16);
    const auto tree = xcb_query_tree(m_c, m_root);

    const std::vector<std::uint32_t> checkWindow = longs(propertyReply(m_c, check).get());
    const PropertyReply stackingReply = propertyReply(m_c, stacking);
    const PropertyReply clientsReply = propertyReply(m_c, clients);
    const std::vector<std::uint32_t> stacked = longs(stackingReply.get());
    const std::vector<std::uint32_t> listed = longs(clientsReply.get());
    // An empty list is still a list: a window manager with no clients states it.
    const bool keepsList = (stackingReply && stackingReply->type != XCB_ATOM_NONE) ||
                           (clientsReply && clientsReply->type != XCB_ATOM_NONE);
    std::unique_ptr<xcb_query_tree_reply_t, FreeReply> children(
        xcb_query_tree_reply(m_c, tree, nullptr));

    // A window manager proves it runs by a check window that names itself; the root's
    // properties outlive a window manager that died.
    bool managed = false;
    if (!checkWindow.empty() && checkWindow[0] != 0) {
        const auto self = longs(propertyReply(m_c, xcb_get_property(m_c, 0, checkWindow[0],
                                                                    m_atoms.netSupportingWmCheck,
                                                                    XCB_ATOM_WINDOW, 0, 1))
                                    .get());
        managed = !self.empty() && self[0] == checkWindow[0] && keepsList;
    }
    TopLevelList list;
    list.managed = managed;
    if (managed) {
        // The stacking list is bottom first; a window manager without it keeps the plain list.
        const std::vector<std::uint32_t>& order = stacked.empty() ? listed : stacked;
        list.ids.assign(order.rbegin(), order.rend());
    } else if (children) {
        const xcb_window_t* ids = xcb_query_tree_children(children.get());
        const int count = xcb_query_tree_children_length(children.get());
        list.ids.assign(std::reverse_iterator(ids + count), std::reverse_iterator(ids));
    }
    return list;
}

struct WindowReader::Cookies {
    xcb_get_property_cookie_t netWmName, wmName, wmClass, role, pid, machine, state, type;
    xcb_get_window_attributes_cookie_t attributes;
};

std::vector<WindowInfo> WindowReader::read(const std::vector<xcb_window_t>& ids, bool managed) {
    std::vector<Cookies> cookies;
    cookies.reserve(ids.size());
    const auto property = [this](xcb_window_t id, xcb_atom_t name, xcb_atom_t type,
                                 std::uint32_t longLength) {
        return xcb_get_property(m_c, 0, id, name, type, 0, longLength);
    };
    for (xcb_window_t id : ids) {
        Cookies c{};
        c.netWmName = property(id, m_atoms.netWmName, m_atoms.utf8String, kTitleLongs);
        c.wmName = property(id, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, kTitleLongs);
        c.wmClass = property(id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 128);
        c.role = property(id, m_atoms.wmWindowRole, XCB_ATOM_STRING, 64);
        c.pid = property(id, m_atoms.netWmPid, XCB_ATOM_CARDINAL, 1);
        c.machine = property(id, m_atoms.wmClientMachine, XCB_GET_PROPERTY_TYPE_ANY, 64);
        c.state = property(id, m_atoms.wmState, m_atoms.wmState, 2);
        c.type = property(id, m_atoms.netWmWindowType, XCB_ATOM_ATOM, 32);
        if (!managed) {
            c.attributes = xcb_get_window_attributes(m_c, id);
        }
        cookies.push_back(c);
    }
    std::vector<WindowInfo> windows;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        bool keep = false;
        WindowInfo info = decode(ids[i], cookies[i], managed, keep);
        if (keep) {
            windows.push_back(std::move(info));
        }
    }
    return windows;
}

WindowInfo WindowReader::decode(xcb_window_t id, Cookies& c, bool managed, bool& keep) {
    // Every reply is collected, even of a window already known to be left out, so that none
    // stays queued in the connection.
    xcb_generic_error_t* error = nullptr;
    PropertyReply netWmName(xcb_get_property_reply(m_c, c.netWmName, &error));
    const bool gone = error != nullptr;
    std::free(error);
    PropertyReply wmName = propertyReply(m_c, c.wmName);
    PropertyReply wmClass = propertyReply(m_c, c.wmClass);
    PropertyReply role = propertyReply(m_c, c.role);
    PropertyReply pid = propertyReply(m_c, c.pid);
    PropertyReply machine = propertyReply(m_c, c.machine);
    PropertyReply state = propertyReply(m_c, c.state);
    PropertyReply type = propertyReply(m_c, c.type);
    bool viewable = managed;
    if (!managed) {
        std::unique_ptr<xcb_get_window_attributes_reply_t, FreeReply> attributes(
            xcb_get_window_attributes_reply(m_c, c.attributes, nullptr));
        viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
                   attributes->override_redirect == 0;
    }
    const std::vector<std::uint32_t> types = longs(type.get());
    const bool skippedType = std::ranges::any_of(types, [this](std::uint32_t t) {
        return t == m_atoms.netWmWindowTypeDock || t == m_atoms.netWmWindowTypeDesktop;
    });
    keep = !gone && viewable && !skippedType;
    WindowInfo info;
    if (!keep) {
        return info;
    }
    info.id = id;
    info.title = title(netWmName.get(), wmName.get());
    if (wmClass && wmClass->format == 8) {
        const auto* data = static_cast<const char*>(xcb_get_property_value(wmClass.get()));
        const std::string both(
            data, static_cast<std::size_t>(xcb_get_property_value_length(wmClass.get())));
        const std::size_t split = both.find('\0');
        if (split != std::string::npos) {
            const std::string rest = both.substr(split + 1);
            info.className = repairUtf8(rest.substr(0, rest.find('\0')), 256);
        }
    }
    info.role = repairUtf8(text(role.get()), 256);
    // The first type the window states that we know is its type, as the window manager takes it.
    for (const std::uint32_t t : types) {
        const auto known = std::ranges::find_if(
            m_atoms.windowTypes, [t](const auto& entry) { return entry.first == t; });
        if (known != m_atoms.windowTypes.end()) {
            info.type = known->second;
            break;
        }
    }
    const std::vector<std::uint32_t> pids = longs(pid.get());
    info.pid = pids.empty() || pids[0] > 0x7FFFFFFF ? 0 : static_cast<int>(pids[0]);
    info.localMachine = !m_hostName.empty() && text(machine.get()) == m_hostName;
    if (managed) {
        // WM_STATE: 1 is Normal, 3 Iconic; 0 (Withdrawn) or none is not on screen.
        const std::vector<std::uint32_t> states = longs(state.get());
        info.visible = !states.empty() && (states[0] == 1 || states[0] == 3);
    } else {
        info.visible = true;
    }
    return info;
}

std::string WindowReader::title(xcb_get_property_reply_t* netWmName,
                                xcb_get_property_reply_t* wmName) {
    if (netWmName && netWmName->format == 8 && netWmName->type == m_atoms.utf8String &&
        xcb_get_property_value_length(netWmName) > 0) {
        return repairUtf8(text(netWmName), kTitleBytes);
    }
    if (!wmName || wmName->format != 8 || xcb_get_property_value_length(wmName) == 0) {
        return {};
    }
    if (wmName->type == m_atoms.utf8String) {
        return repairUtf8(text(wmName), kTitleBytes);
    }
    // STRING is Latin-1; COMPOUND_TEXT switches character sets by escape sequences. Xlib knows
    // both, and anything else a client may have stated.
    XTextProperty property{};
    property.value = static_cast<unsigned char*>(xcb_get_property_value(wmName));
    property.encoding = wmName->type;
    property.format = 8;
    property.nitems = static_cast<unsigned long>(xcb_get_property_value_length(wmName));
    char** list = nullptr;
    int count = 0;
    std::string decoded;
    const int status = Xutf8TextPropertyToTextList(m_display, &property, &list, &count);
    if (status >= 0 && list && count > 0) {
        decoded = list[0];
    } else if (wmName->type == XCB_ATOM_STRING) {
        decoded = latin1ToUtf8(text(wmName));
    } else {
        decoded = text(wmName);
    }
    if (list) {
        XFreeStringList(list);
    }
    return repairUtf8(decoded, kTitleBytes);
}

xcb_window_t WindowReader::activeWindow() {
    const auto ids =
        longs(propertyReply(m_c, xcb_get_property(m_c, 0, m_root, m_atoms.netActiveWindow,
                                                  XCB_ATOM_WINDOW, 0, 1))
                  .get());
    return ids.empty() ? 0 : ids[0];
}

}  // namespace halvern::platform
