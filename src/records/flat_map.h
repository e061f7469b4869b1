// Small sorted maps and sets held in one vector each, for records of which
// there are many and each with few entries: an object of the simulated
// service has a handful of properties, and a large system has a hundred
// thousand objects, so nodes of their own would cost more than the values.
// A copy takes just the room its entries need.
#pragma once

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

namespace camknob {

template <typename Key, typename Mapped>
class FlatMap {
 public:
  using value_type = std::pair<Key, Mapped>;
  using iterator = typename std::vector<value_type>::iterator;
  using const_iterator = typename std::vector<value_type>::const_iterator;

  iterator begin() { return entries_.begin(); }
  iterator end() { return entries_.end(); }
  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }
  bool empty() const { return entries_.empty(); }
  std::size_t size() const { return entries_.size(); }

  iterator find(const Key& key) {
    const auto at = lowerBound(key);
    return at != entries_.end() && at->first == key ? at : entries_.end();
  }
  const_iterator find(const Key& key) const {
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), key, keyLess);
    return at != entries_.end() && at->first == key ? at : entries_.end();
  }
  std::size_t count(const Key& key) const { return find(key) != end() ? 1 : 0; }

  Mapped& at(const Key& key) {
    const auto found = find(key);
    if (found == end()) throw std::out_of_range("FlatMap::at");
    return found->second;
  }
  const Mapped& at(const Key& key) const {
    const auto found = find(key);
    if (found == end()) throw std::out_of_range("FlatMap::at");
    return found->second;
  }

  Mapped& operator[](const Key& key) {
    auto at = lowerBound(key);
    if (at == entries_.end() || at->first != key) at = entries_.insert(at, {key, Mapped{}});
    return at->second;
  }

  void erase(const Key& key) {
    if (const auto found = find(key); found != end()) entries_.erase(found);
  }

  void clear() { entries_.clear(); }

  friend bool operator==(const FlatMap&, const FlatMap&) = default;

 private:
  static bool keyLess(const value_type& entry, const Key& key) { return entry.first < key; }
  iterator lowerBound(const Key& key) {
    return std::lower_bound(entries_.begin(), entries_.end(), key, keyLess);
  }

  std::vector<value_type> entries_;
};

template <typename Key>
class FlatSet {
 public:
  using const_iterator = typename std::vector<Key>::const_iterator;

  FlatSet() = default;
  FlatSet(std::initializer_list<Key> keys) {
    for (const Key& key : keys) insert(key);
  }

  const_iterator begin() const { return keys_.begin(); }
  const_iterator end() const { return keys_.end(); }
  bool empty() const { return keys_.empty(); }
  std::size_t size() const { return keys_.size(); }

  std::size_t count(const Key& key) const {
    return std::binary_search(keys_.begin(), keys_.end(), key) ? 1 : 0;
  }
  void insert(const Key& key) {
    const auto at = std::lower_bound(keys_.begin(), keys_.end(), key);
    if (at == keys_.end() || *at != key) keys_.insert(at, key);
  }
  void clear() { keys_.clear(); }

  friend bool operator==(const FlatSet&, const FlatSet&) = default;

 private:
  std::vector<Key> keys_;
};

}  // namespace camknob
