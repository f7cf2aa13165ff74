#include "UnitCustomProc.h"

TCustomProc::TCustomProc(TCommonLib& common, TAppFunc& app, TFileFunc& files,
                         ConversionInputs& inputs)
    : builder_(common, app, files, inputs, Finishing),
      batch_(common, app, builder_),
      profiles_(common),
      preview_(common, app),
      marker_(common, preview_, builder_),
      StartTime(builder_.StartTime),
      Duration(builder_.Duration),
      CommandLine(builder_.CommandLine),
      LastCommand(builder_.LastCommand),
      CurrentIndex(batch_.CurrentIndex),
      TotalCount(batch_.TotalCount),
      RowIndex(batch_.RowIndex),
      RefreshCount(batch_.RefreshCount),
      StopRequested(batch_.StopRequested),
      Progress(batch_.Progress),
      IsPlaying(preview_.IsPlaying),
      Marker(preview_.Marker) {}
