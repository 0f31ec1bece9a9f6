#pragma once
// The commands that install the selected theme into the game folder.

namespace quorvel {

// "加载UI": writes the selected theme's package into the game folder.
void LoadSelectedTheme();
// "应用该UI": writes ClientZips.txt naming the selected theme's package.
void ApplySelectedTheme();

}  // namespace quorvel
