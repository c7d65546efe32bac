#include "engine/element.hpp"

#include "base/utility.hpp"

namespace zoetra {

const std::string& element::attribute(std::string_view name) const {
    static const std::string absent = no_such_element;
    for (const auto& [key, value] : attributes)
        if (key == name)
            return value;
    return absent;
}

void element::set_attribute(std::string name, std::string value) {
    for (auto& [key, old] : attributes) {
        if (key == name) {
            old = std::move(value);
            return;
        }
    }
    attributes.emplace_back(std::move(name), std::move(value));
}

std::string decode_character_references(std::string_view text) {
    if (text.find('&') == std::string_view::npos)
        return std::string(text);
    static const std::pair<std::string_view, char> references[] = {
        {"&gt;", '>'}, {"&lt;", '<'}, {"&amp;", '&'}};
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& [reference, character] : references) {
            if (text.substr(i, reference.size()) == reference) {
                out += character;
                i += reference.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            out += text[i++];
    }
    return out;
}

namespace {

// Effect files are small; anything larger than this is not one.
constexpr std::size_t max_effect_file_size = 16u << 20;

// Turns the bytes of an effect file into characters, the end-of-tag signal
// and the end of input. Carriage returns vanish, NUL ends the input, ">" is
// the end-of-tag signal and never a character, and two dashes open a comment
// that the next two dashes close, wherever they occur.
class markup_tokens {
  public:
    static constexpr int end_input = -1;
    static constexpr int end_tag = -2;

    explicit markup_tokens(std::string_view bytes) : bytes_(bytes) {}

    int get() {
        for (;;) {
            int c = raw();
            if (c < 0)
                return end_input;
            if (c == '>')
                return end_tag;
            if (c == '-' && peek_raw() == '-') {
                raw();
                if (!skip_comment())
                    return end_input;
                continue;
            }
            return c;
        }
    }

  private:
    int raw() {
        while (at_ < bytes_.size()) {
            unsigned char c = static_cast<unsigned char>(bytes_[at_++]);
            if (c == '\r')
                continue;
            if (c == 0) {
                at_ = bytes_.size();
                return -1;
            }
            return c;
        }
        return -1;
    }
    int peek_raw() {
        std::size_t saved = at_;
        int c = raw();
        at_ = saved;
        return c;
    }
    // Skips up to and including the next two consecutive dashes.
    bool skip_comment() {
        int previous = 0;
        for (;;) {
            int c = raw();
            if (c < 0)
                return false;
            if (c == '-' && previous == '-')
                return true;
            previous = c;
        }
    }

    std::string_view bytes_;
    std::size_t at_ = 0;
};

bool is_blank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f';
}

class tree_reader {
  public:
    explicit tree_reader(std::string_view bytes) : tokens_(bytes) {}

    result<std::unique_ptr<element>> read() {
        int t = tokens_.get();
        while (is_blank(t))
            t = tokens_.get();
        if (t != '<')
            return outcome::failure("it does not begin with \"<\"");
        auto root = read_element(0);
        if (root && root.value()->end)
            return outcome::failure("it begins with an end tag");
        return root;
    }

  private:
    enum class tag_result { read, end_of_input };

    // Reads one element with its children, or why the file is refused; an
    // element with the end flag closes the caller.
    result<std::unique_ptr<element>> read_element(int depth) {
        auto e = std::make_unique<element>();
        if (read_tag(*e) == tag_result::end_of_input)
            return outcome::failure(std::string(ends_early));
        if (e->end)
            return e;
        if (depth >= max_element_depth)
            return outcome::failure(format("the element <%s> is nested deeper than %d levels",
                                           e->tag.c_str(), max_element_depth));
        for (;;) {
            auto child = read_element(depth + 1);
            if (!child)
                return outcome::failure(
                    child.message() == ends_early
                        ? format("it ends inside the element <%s>", e->tag.c_str())
                        : child.message());
            if (child.value()->end)
                return e;
            e->children.push_back(std::move(child.value()));
        }
    }
    static constexpr std::string_view ends_early = "it ends where a tag was expected";

    tag_result read_tag(element& e) {
        int t = tokens_.get();
        while (is_blank(t) || t == '<')
            t = tokens_.get();
        for (; t != markup_tokens::end_tag && !is_blank(t); t = tokens_.get()) {
            if (t == markup_tokens::end_input)
                return tag_result::end_of_input;
            if (t == '/' && e.tag.empty())
                e.end = true;
            else
                e.tag += static_cast<char>(t);
        }
        if (read_attributes(e, t) == tag_result::end_of_input)
            return tag_result::end_of_input;
        read_text(e);
        return tag_result::read;
    }

    // t is the token after the tag name.
    tag_result read_attributes(element& e, int t) {
        while (t != markup_tokens::end_tag) {
            while (is_blank(t))
                t = tokens_.get();
            if (t == markup_tokens::end_input)
                return tag_result::end_of_input;
            if (t == markup_tokens::end_tag)
                break;
            std::string name;
            while (t >= 0 && t != '=' && !is_blank(t)) {
                name += static_cast<char>(t);
                t = tokens_.get();
            }
            while (is_blank(t))
                t = tokens_.get();
            std::string value;
            if (t == '=') {
                t = tokens_.get();
                while (is_blank(t))
                    t = tokens_.get();
                t = read_value(t, value);
            }
            if (t == markup_tokens::end_input)
                return tag_result::end_of_input;
            e.set_attribute(std::move(name), decode_character_references(value));
        }
        return tag_result::read;
    }

    // Returns the token after the value. A quoted value runs to the next
    // double quote; the end-of-tag signal also ends it, since ">" can never
    // be part of a value.
    int read_value(int t, std::string& value) {
        if (t == '"') {
            for (t = tokens_.get(); t >= 0 && t != '"'; t = tokens_.get())
                value += static_cast<char>(t);
            return t == '"' ? tokens_.get() : t;
        }
        for (; t >= 0 && !is_blank(t); t = tokens_.get())
            value += static_cast<char>(t);
        return t;
    }

    // The text runs to the next "<" (consumed) or the end of the input.
    void read_text(element& e) {
        for (int t = tokens_.get(); t != '<' && t != markup_tokens::end_input; t = tokens_.get())
            if (t != markup_tokens::end_tag)
                e.text += static_cast<char>(t);
        e.text = decode_character_references(e.text);
    }

    markup_tokens tokens_;
};

} // namespace

element_tree read_element_tree(std::string_view text) {
    return tree_reader(text).read();
}

element_tree read_element_tree(std::FILE* stream) {
    std::string bytes;
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, stream)) > 0) {
        bytes.append(chunk, got);
        if (bytes.size() > max_effect_file_size)
            return outcome::failure("it is too large to be an effect file");
    }
    return read_element_tree(bytes);
}

} // namespace zoetra
