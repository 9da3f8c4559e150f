#include "sources/DriverManagerReading.hpp"

#include <cctype>

namespace tablor {

std::vector<DriverManagerItem> ReadAsDriverManager(std::string_view text) {
    std::vector<DriverManagerItem> items;
    std::size_t at = 0;
    const auto isBlank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (at < text.size()) {
        while (at < text.size() && (isBlank(text[at]) || text[at] == ';')) ++at;
        const std::size_t equals = text.find('=', at);
        if (at >= text.size() || equals == std::string_view::npos) break;
        DriverManagerItem item;
        item.keywordOffset = at;
        item.keyword = std::string(text.substr(at, equals - at));
        at = equals + 1;
        if (at < text.size() && text[at] == '{') {
            for (++at; at < text.size(); ++at) {
                if (text[at] == '}') {
                    if (at + 1 < text.size() && text[at + 1] == '}') {
                        item.value += '}';
                        ++at;
                        continue;
                    }
                    ++at;
                    break;
                }
                item.value += text[at];
            }
        } else {
            const std::size_t end = std::min(text.find(';', at), text.size());
            item.value = std::string(text.substr(at, end - at));
            at = end;
        }
        items.push_back(std::move(item));
    }
    return items;
}

}  // namespace tablor
