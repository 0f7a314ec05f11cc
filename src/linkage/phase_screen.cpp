#include <stdexcept>

#include "linkage/screen_blocks.hpp"

namespace tarvek {

using namespace screen;

PhaseScreen phase_screen(const LinkScreen& screen, const PhaseLinker& linker) {
  if (linker.lods != screen.lods || linker.threshold != screen.threshold)
    throw std::invalid_argument("phase screen of another matrix or threshold");
  PhaseScreen p;
  p.screen = &screen;
  p.linker = &linker;
  p.exchanged_too = !population_model(screen.lods->type).exchange_keeps_classes;
  // Centre values are 0, 2, 3, 4 or 6, so 6 - v is at least 2, 3, 4 and 6
  // exactly when v is below 6, 4, 3 and 2.
  const std::size_t words = screen.words;
  p.exchanged_centres.assign(screen.centres.size(), 0);
  for (std::size_t c = 0; c < screen.first_member.size(); ++c) {
    const Word* centre = screen.centres.data() + c * 4 * words;
    Word* out = p.exchanged_centres.data() + c * 4 * words;
    for (std::size_t w = 0; w < words; ++w) {
      out[w] = ~centre[3 * words + w];
      out[words + w] = ~centre[2 * words + w];
      out[2 * words + w] = ~centre[words + w];
      out[3 * words + w] = ~centre[w];
    }
  }
  return p;
}

std::vector<std::uint64_t> phase_linked_groups(const PhaseScreen& phases, std::size_t first,
                                               std::size_t last, const GroupLabels& labels,
                                               int threads) {
  const LinkScreen& s = *phases.screen;
  const BlockPlan b = plan_block(s, first, last, threads,
                                 phases.exchanged_too ? &phases.exchanged_centres : nullptr);
  const bool clustered = !b.tables.centre.empty();
  return group_links(b, labels, threads,
                     [&](std::size_t m, std::uint64_t open, std::uint64_t& group) {
                       const std::int32_t c = s.cluster.empty() ? -1 : s.cluster[m];
                       if (clustered && c >= 0) {
                         // A lane stays open when either phase may link.
                         const std::size_t missing =
                             s.lods->planes.positions - static_cast<std::size_t>(s.scored[m]);
                         const std::int32_t* need = b.tables.need.data() + missing * kLanes;
                         const auto at = static_cast<std::size_t>(c) * kLanes;
                         std::uint64_t either =
                             b.open_lanes(b.tables.centre.data() + at, need, s.spread[m], b.lanes);
                         if (phases.exchanged_too)
                           either |= b.open_lanes(b.tables.exchanged.data() + at, need,
                                                  s.spread[m], b.lanes);
                         open &= either;
                       }
                       for (; open != 0; open &= open - 1) {
                         const auto k = static_cast<std::size_t>(std::countr_zero(open));
                         if (phase_link(*phases.linker, first + k, m)) group |= std::uint64_t{1} << k;
                       }
                     });
}

}  // namespace tarvek
