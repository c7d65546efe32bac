#include "engine/script.hpp"

#include "app/services/messages.hpp"
#include "app/services/utility.hpp"
#include "resources/resource.hpp"

#include <cstdio>

namespace zoetra {

std::string file_stem(std::string_view file_name) {
    std::string stem;
    bool taking = true;
    for (char c : file_name) {
        if (c == '\\' || c == '/') {
            // Both separators start the stem afresh: names come from the
            // archive listing ("\") and from the user's own paths ("/").
            stem.clear();
            taking = true;
        } else if (c == '.') {
            taking = false;
        } else if (c != '*' && taking) {
            stem += c;
        }
    }
    return stem;
}

namespace {
// Matrices larger than this are refused when a network starts: no port of a
// sane effect comes near it, and a file that asks for more would only end
// the program through the out-of-memory exit.
constexpr std::uint64_t max_port_bytes = 64u << 20;
} // namespace

script::script(std::string file_name, double version, const component_factory& factory)
    : file_name_(std::move(file_name)), factory_(factory) {
    description_.type = "SCRIPT";
    description_.name = file_stem(file_name_);
    description_.title = description_.name;
    description_.version = version;
}

script::~script() {
    reset();
    clear();
}

void script::clear() {
    notes_.clear();
    configs_.clear();
    ports_.clear();
    components_.clear();
}

bool script::load(std::string& error) {
    file_ptr stream = open_resource(file_name_, "rb");
    if (!stream) {
        std::fputs("BAD file name\n", stderr);
        error = format("Cannot open the effect file \"%s\".", file_name_.c_str());
        return false;
    }
    element_tree tree = read_element_tree(stream.get());
    stream.reset();
    if (!tree.root) {
        error = format("\"%s\" is not an effect file: %s.", file_name_.c_str(), tree.error.c_str());
        return false;
    }
    if (!build_from(*tree.root, error)) {
        clear();
        return false;
    }
    return true;
}

bool script::build_from(const element& root, std::string& error) {
    root.take_attribute("class", description_.class_name);
    root.take_attribute("type", description_.type);
    root.take_attribute("description", description_.text);
    for (const auto& child : root.children) {
        if (same_name(child->tag, "description")) {
            for (const auto& part : child->children) {
                if (same_name(part->tag, "title"))
                    description_.title = part->text;
                else if (same_name(part->tag, "image"))
                    description_.image_file = part->text;
            }
        } else if (!add_component_element(*child, error)) {
            return false;
        }
    }
    for (auto& c : components_)
        c->read_element();
    bind_configs_by_idref();
    bool connected = connect_ports(error);
    if (connected)
        note_unconnected_inputs();
    // The tree goes away with this call; the components must not keep it.
    for (auto& c : components_)
        c->store_element(nullptr);
    return connected;
}

bool script::add_component_element(const element& e, std::string& error) {
    if (component_count() >= max_components) {
        error = format("\"%s\" has more than %d components.", file_name_.c_str(), max_components);
        return false;
    }
    component* c = add_component(e.tag);
    if (c == nullptr) {
        error = format("\"%s\" names the component type \"%s\", which does not exist.",
                       file_name_.c_str(), e.tag.c_str());
        if (factory_.knows(e.tag))
            error = format("\"%s\" has more configs or ports than a network can hold.",
                           file_name_.c_str());
        return false;
    }
    description& d = c->desc();
    d.name = e.tag;
    e.take_attribute("title", d.title);
    e.take_attribute("type", d.type);
    e.take_attribute("class", d.class_name);
    e.take_attribute("id", d.id);
    c->store_element(&e);
    note_unmatched_elements(*c, e);
    return true;
}

namespace {

std::string element_label(const component& c) {
    return format("<%s id=\"%s\">", c.desc().name.c_str(), c.desc().id.c_str());
}

// The attribute, or the empty string when it is absent.
std::string attribute_text(const element& e, std::string_view name) {
    const std::string& value = e.attribute(name);
    return element::present(value) ? value : std::string();
}

} // namespace

void script::note(load_note::kind what, const component* owner, std::string id,
                  std::string reason) {
    notes_.push_back(load_note{what, owner != nullptr ? element_label(*owner) : std::string(),
                               std::move(id), std::move(reason)});
}

// The readers of configs and ports take the children whose names they know
// and pass over the rest; a misspelt name leaves its element unread.
void script::note_unmatched_elements(const component& c, const element& e) {
    for (const auto& child : e.children) {
        const std::string name = attribute_text(*child, "name");
        const bool in = same_name(child->tag, "in");
        if (in || same_name(child->tag, "out")) {
            bool found = false;
            for (int i = 0; i < c.port_count() && !found; ++i)
                found = same_name(c.port_at(i).name(), name);
            if (!found)
                note(load_note::kind::unmatched_port_element, &c, name,
                     format("<%s name=\"%s\">: %s has no port of that name", in ? "in" : "out",
                            name.c_str(), c.desc().name.c_str()));
            continue;
        }
        bool setting = false;
        bool found = false;
        for (int i = 0; i < c.config_count() && !found; ++i) {
            const config& k = c.config_at(i);
            if (!same_name(child->tag, k.element_tag()))
                continue;
            setting = true;
            found = same_name(k.name(), name);
        }
        for (const char* tag : {"valuelist", "menu", "imageinput", "imageoutput", "textlist"})
            setting = setting || same_name(child->tag, tag);
        if (setting && !found)
            note(load_note::kind::unmatched_setting_element, &c, name,
                 format("<%s name=\"%s\">: %s has no setting of that name read from <%s>",
                        child->tag.c_str(), name.c_str(), c.desc().name.c_str(),
                        child->tag.c_str()));
    }
}

component* script::add_component(std::string_view type) {
    if (component_count() >= max_components)
        return nullptr;
    std::unique_ptr<component> made = factory_.create(type);
    if (!made)
        return nullptr;
    if (configs_.size() + std::size_t(made->config_count()) > max_configs ||
        ports_.size() + std::size_t(made->port_count()) > max_ports)
        return nullptr;
    made->set_context(&context_);
    for (int i = 0; i < made->config_count(); ++i)
        configs_.push_back(&made->config_at(i));
    for (int i = 0; i < made->port_count(); ++i)
        ports_.push_back(&made->port_at(i));
    components_.push_back(std::move(made));
    return components_.back().get();
}

void script::bind_configs_by_idref() {
    for (config* c : configs_) {
        if (!c->desc().has_idref())
            continue;
        for (config* partner : configs_) {
            if (partner->desc().id == c->desc().idref) {
                c->bind_to(partner);
                break;
            }
        }
        if (c->bound_partner() == nullptr)
            note(load_note::kind::unmatched_config_idref, c->owner(), c->desc().id,
                 format("setting \"%s\": idref \"%s\" matches no setting id (ids match exactly)",
                        c->name().c_str(), c->desc().idref.c_str()));
    }
}

bool script::connect_ports(std::string& error) {
    for (port* p : ports_) {
        if (p->desc().class_name != "PRT_IN" || !p->desc().has_idref())
            continue;
        port* source = port_with_id(p->desc().idref);
        if (source == nullptr) {
            error = format("\"%s\": the input \"%s\" listens to \"%s\", which names no port.",
                           file_name_.c_str(), p->desc().id.c_str(), p->desc().idref.c_str());
            return false;
        }
        // A refused connection is ignored, as the connect rules allow; it is
        // only noted. The input is looked up by its id, so an earlier port
        // with the same id takes the connection in its place.
        port& input = *port_with_id(p->desc().id);
        std::string refused;
        const bool made = port::connect(input, *source, &refused);
        std::string why;
        if (&input != p)
            why = made ? "its id is an earlier port's too, and that port took the connection"
                       : "its id is an earlier port's too, and that port refused: " + refused;
        else if (!made)
            why = refused;
        if (!why.empty())
            note(load_note::kind::refused_connection, p->owner(), p->desc().id,
                 format("%s \"%s\" from \"%s\": %s", p->name().c_str(), p->desc().id.c_str(),
                        p->desc().idref.c_str(), why.c_str()));
    }
    return true;
}

void script::note_unconnected_inputs() {
    for (const port* p : ports_) {
        if (!p->is_input() || p->connected())
            continue;
        // An input that named a source and still stands alone was noted
        // where its connection was refused.
        if (p->desc().class_name == "PRT_IN" && p->desc().has_idref())
            continue;
        note(load_note::kind::unconnected_input, p->owner(), p->desc().id,
             format("%s is not connected: it gives its fill value %g", p->name().c_str(),
                    p->value()));
    }
}

bool script::start(std::string& error) {
    for (auto& c : components_) {
        if (!c->preprepare(error)) {
            reset();
            return false;
        }
    }
    for (auto& c : components_)
        c->bind_configs();
    for (auto& c : components_) {
        if (!c->prepare(error)) {
            reset();
            return false;
        }
    }
    if (!check_port_sizes(error)) {
        reset();
        return false;
    }
    return true;
}

bool script::check_port_sizes(std::string& error) const {
    for (const port* p : ports_) {
        std::uint64_t bytes = std::uint64_t(p->size(0)) * p->size(1) * p->size(2) *
                              (p->type_name() == uint16_type ? 2 : 1);
        if (bytes > max_port_bytes) {
            error = format("the port \"%s\" of \"%s\" asks for a %d x %d x %d matrix, which is "
                           "too large",
                           p->name().c_str(), p->owner()->name().c_str(), p->size(0), p->size(1),
                           p->size(2));
            return false;
        }
    }
    return true;
}

bool script::run(std::string& error, bool single_step) {
    for (;;) {
        if (fired_count_ == 0 && on_run_begin)
            on_run_begin();
        component* sink = nullptr;
        component* next = nullptr;
        for (auto& c : components_) {
            if (c->name() == "GIFOUT") {
                sink = c.get();
                continue;
            }
            if (c->ready()) {
                next = c.get();
                break;
            }
        }
        if (next != nullptr) {
            if (!next->fire(error)) {
                reset();
                return false;
            }
            // A component that forgot to finish its fire must not fire forever.
            next->mark_fired();
            ++fired_count_;
            if (on_progress)
                on_progress(fired_count_, component_count());
            if (single_step)
                return true;
            continue;
        }
        // The sink is the last "GIFOUT" in file order, whatever the scan above stopped at.
        for (auto& c : components_)
            if (c->name() == "GIFOUT")
                sink = c.get();
        if (sink != nullptr && !sink->fire(error)) {
            reset();
            return false;
        }
        for (auto& c : components_)
            c->clear_fired();
        fired_count_ = 0;
        if (on_frame_done)
            on_frame_done();
        return true;
    }
}

void script::reset() {
    for (auto& c : components_)
        c->reset();
    fired_count_ = 0;
}

component* script::component_with_id(std::string_view id) const {
    for (const auto& c : components_)
        if (same_name(c->desc().id, id))
            return c.get();
    return nullptr;
}

port* script::port_with_id(std::string_view id) const {
    for (port* p : ports_)
        if (same_name(p->desc().id, id))
            return p;
    return nullptr;
}

component& script::find_component(std::string_view id) const {
    if (component* c = component_with_id(id))
        return *c;
    fatal_error(format("Could not find \"%.*s\" component in script \"%s\"\n", int(id.size()),
                       id.data(), description_.name.c_str()));
}

port& script::find_port(std::string_view id) const {
    if (port* p = port_with_id(id))
        return *p;
    fatal_error(format("Could not find port \"%.*s\"\n", int(id.size()), id.data()));
}

bool script::connect(std::string_view input_id, std::string_view output_id, std::string& error) {
    return port::connect(find_port(input_id), find_port(output_id), &error);
}

} // namespace zoetra
