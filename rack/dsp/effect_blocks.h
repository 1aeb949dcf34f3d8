#pragma once

#include <cstddef>
#include <cstdint>
#include <tuple>
#include <type_traits>
#include <utility>

#include "rack/dsp/air_block.h"
#include "rack/dsp/block_contract.h"
#include "rack/dsp/clip_block.h"
#include "rack/dsp/compressor_block.h"
#include "rack/dsp/deesser_block.h"
#include "rack/dsp/deharsh_block.h"
#include "rack/dsp/delay_block.h"
#include "rack/dsp/demud_block.h"
#include "rack/dsp/effect_type.h"
#include "rack/dsp/gate_block.h"
#include "rack/dsp/glue_block.h"
#include "rack/dsp/plate_block.h"
#include "rack/dsp/presence_block.h"
#include "rack/dsp/saturator_block.h"
#include "rack/dsp/shimmer_block.h"
#include "rack/dsp/tape_block.h"
#include "rack/dsp/tilt_block.h"
#include "rack/dsp/trimmer_block.h"
#include "rack/dsp/width_block.h"

namespace tarnwell::dsp {

// Every effect block, in EffectType order: a bay holds one of each and dispatches over this list.
using EffectBlocks = std::tuple<GateBlock, DeMudBlock, DeHarshBlock, DeEsserBlock, CompressorBlock, PresenceBlock,
                                TiltBlock, SaturatorBlock, TapeBlock, AirBlock, WidthBlock, PlateBlock, DelayBlock,
                                TrimmerBlock, GlueBlock, ClipBlock, ShimmerBlock>;

inline constexpr std::size_t kEffectBlockCount = std::tuple_size_v<EffectBlocks>;
static_assert(kEffectBlockCount == static_cast<std::size_t>(EffectType::Empty), "one block per effect type");

template <std::size_t Index>
using EffectBlockAt = std::tuple_element_t<Index, EffectBlocks>;

static_assert(
    []<std::size_t... I>(std::index_sequence<I...>) {
      return ((EffectBlock<EffectBlockAt<I>> && EffectBlockAt<I>::kType == static_cast<EffectType>(I)) && ...);
    }(std::make_index_sequence<kEffectBlockCount>{}),
    "every block offers the block surface, at its type's place");

// Calls visit(std::type_identity<Block>{}) for the block of this type; a type outside the list (Empty,
// or a value from damaged state) visits nothing. Compares in a fold, no virtual call.
template <typename Visit>
void VisitEffectBlockType(std::int32_t type, Visit&& visit) {
  [&]<std::size_t... I>(std::index_sequence<I...>) {
    (void)((type == static_cast<std::int32_t>(I) && (visit(std::type_identity<EffectBlockAt<I>>{}), true)) || ...);
  }
  (std::make_index_sequence<kEffectBlockCount>{});
}

}  // namespace tarnwell::dsp
