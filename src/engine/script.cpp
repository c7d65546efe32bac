#include "engine/script.hpp"

#include "base/utility.hpp"
#include "resources/resource.hpp"

#include "raster/output_canvas.hpp"

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

script::script(std::string file_name, context& program, const component_factory& factory,
               double version)
    : file_name_(std::move(file_name)), factory_(factory) {
    context_.program = &program;
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

outcome script::load() {
    file_ptr stream = program().resources().open(file_name_, "rb");
    if (!stream) {
        program().diagnostics_sink().err("BAD file name\n");
        return outcome::failure(format("Cannot open the effect file \"%s\".", file_name_.c_str()));
    }
    element_tree tree = read_element_tree(stream.get());
    stream.reset();
    if (!tree)
        return outcome::failure(format("\"%s\" is not an effect file: %s.", file_name_.c_str(),
                                       tree.message().c_str()));
    outcome built = build_from(*tree.value());
    if (!built)
        clear();
    return built;
}

outcome script::build_from(const element& root) {
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
        } else if (outcome added = add_component_element(*child); !added) {
            return added;
        }
    }
    for (auto& c : components_)
        c->read_element();
    bind_configs_by_idref();
    outcome connected = connect_ports();
    if (connected)
        note_unconnected_inputs();
    // The tree goes away with this call; the components must not keep it.
    for (auto& c : components_)
        c->store_element(nullptr);
    return connected;
}

outcome script::add_component_element(const element& e) {
    if (component_count() >= max_components)
        return outcome::failure(
            format("\"%s\" has more than %d components.", file_name_.c_str(), max_components));
    component* c = add_component(e.tag);
    if (c == nullptr) {
        if (factory_.knows(e.tag))
            return outcome::failure(format(
                "\"%s\" has more configs or ports than a network can hold.", file_name_.c_str()));
        return outcome::failure(
            format("\"%s\" names the component type \"%s\", which does not exist.",
                   file_name_.c_str(), e.tag.c_str()));
    }
    description& d = c->desc();
    d.name = e.tag;
    e.take_attribute("title", d.title);
    e.take_attribute("type", d.type);
    e.take_attribute("class", d.class_name);
    e.take_attribute("id", d.id);
    c->store_element(&e);
    note_unmatched_elements(*c, e);
    return outcome::success();
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
    std::unique_ptr<component> made = factory_.create(type, program());
    if (!made)
        return nullptr;
    if (configs_.size() + std::size_t(made->config_count()) > max_configs ||
        ports_.size() + std::size_t(made->port_count()) > max_ports)
        return nullptr;
    made->set_context(&context_);
    for (int i = 0; i < made->config_count(); ++i) {
        configs_.push_back(&made->config_at(i));
        observations_.push_back(made->config_at(i).observe([this](config&, bool setting_change) {
            if (setting_change && !starting_ && on_settings_changed)
                on_settings_changed();
        }));
    }
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

outcome script::connect_ports() {
    for (port* p : ports_) {
        if (p->desc().class_name != "PRT_IN" || !p->desc().has_idref())
            continue;
        port* source = port_with_id(p->desc().idref);
        if (source == nullptr)
            return outcome::failure(
                format("\"%s\": the input \"%s\" listens to \"%s\", which names no port.",
                       file_name_.c_str(), p->desc().id.c_str(), p->desc().idref.c_str()));
        // A refused connection is ignored, as the connect rules allow; it is
        // only noted. The input is looked up by its id, so an earlier port
        // with the same id takes the connection in its place.
        port& input = *port_with_id(p->desc().id);
        const outcome made = port::connect(input, *source);
        std::string why;
        if (&input != p)
            why = made
                      ? "its id is an earlier port's too, and that port took the connection"
                      : "its id is an earlier port's too, and that port refused: " + made.message();
        else if (!made)
            why = made.message();
        if (!why.empty())
            note(load_note::kind::refused_connection, p->owner(), p->desc().id,
                 format("%s \"%s\" from \"%s\": %s", p->name().c_str(), p->desc().id.c_str(),
                        p->desc().idref.c_str(), why.c_str()));
    }
    return outcome::success();
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

outcome script::start() {
    // The components settle their own settings as they start: that is no
    // change anyone must hear of.
    starting_ = true;
    outcome started = start_components();
    starting_ = false;
    if (!started)
        reset();
    return started;
}

outcome script::start_components() {
    for (auto& c : components_)
        if (outcome ready = c->preprepare(); !ready)
            return ready;
    for (auto& c : components_)
        c->bind_configs();
    for (auto& c : components_)
        if (outcome ready = c->prepare(); !ready)
            return ready;
    return check_port_sizes();
}

outcome script::check_port_sizes() const {
    for (const port* p : ports_) {
        std::uint64_t bytes = std::uint64_t(p->size(0)) * p->size(1) * p->size(2) *
                              (p->type_name() == uint16_type ? 2 : 1);
        if (bytes > max_port_bytes)
            return outcome::failure(format(
                "the port \"%s\" of \"%s\" asks for a %d x %d x %d matrix, which is "
                "too large",
                p->name().c_str(), p->owner()->name().c_str(), p->size(0), p->size(1), p->size(2)));
    }
    return outcome::success();
}

outcome script::run(bool single_step) {
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
            if (outcome fired = next->fire(); !fired) {
                reset();
                return fired;
            }
            // A component that forgot to finish its fire must not fire forever.
            next->mark_fired();
            ++fired_count_;
            if (on_progress)
                on_progress(fired_count_, component_count());
            if (single_step)
                return outcome::success();
            continue;
        }
        // The sink is the last "GIFOUT" in file order, whatever the scan above stopped at.
        for (auto& c : components_)
            if (c->name() == "GIFOUT")
                sink = c.get();
        if (sink != nullptr)
            if (outcome fired = sink->fire(); !fired) {
                reset();
                return fired;
            }
        for (auto& c : components_)
            c->clear_fired();
        fired_count_ = 0;
        if (on_frame_done)
            on_frame_done();
        return outcome::success();
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

outcome script::connect(std::string_view input_id, std::string_view output_id) {
    port* input = port_with_id(input_id);
    port* output = port_with_id(output_id);
    if (input == nullptr || output == nullptr)
        return outcome::failure(format("no port has the id \"%.*s\"",
                                       int((input == nullptr ? input_id : output_id).size()),
                                       (input == nullptr ? input_id : output_id).data()));
    return port::connect(*input, *output);
}

} // namespace zoetra
