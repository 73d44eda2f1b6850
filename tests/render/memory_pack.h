#pragma once
// A resource layer whose only pack is built in memory from (name, bytes) pairs,
// with loose files switched off: files are read exactly as the game reads them
// from "GFALL.DAT".

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "res/pack.h"
#include "res/resource_layer.h"

namespace render::testing {

class MemoryPack {
 public:
  void Add(const std::string& name, std::vector<uint8_t> bytes) { files_[name] = std::move(bytes); }

  // Builds the pack from everything added so far and opens it in a fresh layer.
  res::ResourceLayer& Open() {
    layer_.reset();  // its stream reads the old buffer
    std::vector<res::PackItem> items;
    for (const auto& [name, bytes] : files_) items.push_back({name, bytes});
    auto pack = res::PackBuild(items);
    EXPECT_TRUE(pack.has_value());
    pack_ = std::make_unique<std::vector<uint8_t>>(pack.value_or(std::vector<uint8_t>(1)));
    layer_ = std::make_unique<res::ResourceLayer>();
    layer_->loose_files = false;
    res::FilePtr f(fmemopen(pack_->data(), pack_->size(), "rb"));
    EXPECT_TRUE(res::PackOpenStream(*layer_, std::move(f), "memory"));
    return *layer_;
  }

 private:
  std::map<std::string, std::vector<uint8_t>> files_;
  std::unique_ptr<std::vector<uint8_t>> pack_;
  std::unique_ptr<res::ResourceLayer> layer_;
};

}  // namespace render::testing
