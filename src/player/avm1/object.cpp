#include "player/avm1/object.h"

namespace avm1 {

// Small tables are searched in order; an index pays off from here on.
static const size_t IndexThreshold = 12;

Property* PropertyTable::Find(const std::string& name, bool caseSensitive) {
    return const_cast<Property*>(static_cast<const PropertyTable*>(this)->Find(name, caseSensitive));
}

const Property* PropertyTable::Find(const std::string& name, bool caseSensitive) const {
    if (indexed_ && indexCaseSensitive_ == caseSensitive) {
        auto it = index_.find(caseSensitive ? name : FoldName(name));
        return it == index_.end() ? nullptr : &items_[it->second];
    }
    for (const Property& p : items_)
        if (EqualNames(p.name, name, caseSensitive))
            return &p;
    return nullptr;
}

Property& PropertyTable::Add(const std::string& name, bool caseSensitive) {
    items_.emplace_back();
    Property& p = items_.back();
    p.name = name;
    if (indexed_ && indexCaseSensitive_ == caseSensitive)
        index_[caseSensitive ? name : FoldName(name)] = static_cast<uint32_t>(items_.size() - 1);
    else if (items_.size() >= IndexThreshold)
        Reindex(caseSensitive);
    return p;
}

bool PropertyTable::Remove(const std::string& name, bool caseSensitive) {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (EqualNames(items_[i].name, name, caseSensitive)) {
            items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
            if (indexed_)
                Reindex(indexCaseSensitive_);
            return true;
        }
    }
    return false;
}

void PropertyTable::Clear() {
    items_.clear();
    index_.clear();
    indexed_ = false;
}

void PropertyTable::Reindex(bool caseSensitive) {
    index_.clear();
    indexed_ = items_.size() >= IndexThreshold;
    indexCaseSensitive_ = caseSensitive;
    if (!indexed_)
        return;
    for (size_t i = 0; i < items_.size(); ++i)
        index_[caseSensitive ? items_[i].name : FoldName(items_[i].name)] = static_cast<uint32_t>(i);
}

Object* Object::Proto(bool caseSensitive) {
    Property* p = props.Find("__proto__", caseSensitive);
    if (!p || p->IsVirtual() || !p->value.IsObject())
        return nullptr;
    return p->value.object;
}

std::string IndexName(uint32_t i) { return std::to_string(i); }

bool ParseIndex(const std::string& name, uint32_t* index) {
    if (name.empty() || name.size() > 10)
        return false;
    if (name.size() > 1 && name[0] == '0')
        return false;
    unsigned long long value = 0;
    for (char c : name) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value >= 4294967295ULL)
        return false;
    *index = static_cast<uint32_t>(value);
    return true;
}

} // namespace avm1
