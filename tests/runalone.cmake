# Read by ctest after every area's cases are listed. The cases below run alone (RUN_SERIAL), the
# rest side by side: each one either bounds a time (a reply, a door or a wait within so many
# milliseconds, CPU seconds, timer ticks counted over a span), bounds the process's resident
# memory, or expects a port it just let go of to stay free, and other tests running beside it
# would eat into its bound or take its port. One regular expression per suite or case, over the
# ctest names area.Suite.Case (a parameterised one is area.Prefix/Suite.Case/Param).
set(tallyclock_run_alone
  "^capture\\.DeskCameraTest\\.SwipeAtACaptureReaderWritesAndShowsItsSnapshot$"
  "^capture\\.SetupWebcamTest\\.SwipesAfterADeviceSwitchStillGetTheirSnapshot$"
  "^desk_cards\\.LargePhotoTest\\.TwentyThousandPixelsSquareLoadWhileTheDoorsWork$"
  "^desk_components\\.SpeechWorkerTest\\.(CallerReturnsAtOnceWhileAPhraseIsBeingSpoken|EngineThatCannotStartGivesOneNoticeAndTheDeskGoesOn|DestructionFinishesTheCurrentPhraseAndDropsTheRest)$"
  "^desk_components\\.TrayIconTest\\.AtFiveHundredMillisecondsTheIconChangesTwiceASecond$"
  "^desk_core\\.DeskCoreTest\\.(CaptureReaderTakesAndAwaitsTheSnapshot|SwipesInterleaveDuringASnapshotWait|SnapshotWaitEndsAfterASecondEvenWithThePinnedClock|ReleaseDuringTheSnapshotWaitStopsTheRepeat)$"
  "^desk_core\\.LockedDatabase\\."
  "^desk_dbmaint\\.SwipingDeskTest\\.EverySwipeThroughBackupRestoreAndFormatOfAMillionRowLogIsLoggedAndAnswered$"
  "^desk_email\\.EmailQueueTest\\.(ASentRowWhoseDeleteIsLockedOutIsNotMailedTwice|ASwipeDuringTheWaitOnAnUnreachableServerIsHandledAtOnce)$"
  "^desk_email\\.SendEmailUnreachable\\.FailsAfterTheConnectTimeOutWhileTheEventLoopTurns$"
  "^desk_email\\.MailShutdownTest\\."
  "^desk_web\\.WebMemoryTest\\."
  "^desk_web\\.WebTest\\.(SilentClientDoesNotHoldUpOthersOrStop|IdleAndHalfSentConnectionsHoldUpNobodyAndAreDropped|SuspendReturnsOnlyOnceEveryRequestConnectionIsClosed|OutOfDescriptorsTheAcceptLoopWaitsAndServesAfterwards)$"
  "^desk_web\\.WebHeadTest\\.HeadForTheLibrary$"
  "^desk_web\\.WebWindowTest\\.(CommandSwitchesTheServerOnAndOff|StartUpFollowsWebEnabled)$"
  "^desk_window\\.LongEraseTest\\."
  "^readerlink_dialogs\\.UploadTest\\.UnansweredQueryIsAwaitedAWholeSecondARefusedAddIsNot$"
  "^readerlink_serial\\.SerialPortTest\\.(WriteGivesUpAfterItsTimeout|StoppedLineFailsTheWriteAndSendsNothingLater|ReadsFollowTheTimeouts|ClosingWhileAHandOverIsPendingReturnsPromptly|AFarEndThatHangsUpTakesTheErrorPath)$"
  "^store_db\\.DbFileTest\\.FileLockedByAnotherWriterIsAClearErrorNotAHang$"
  "^store_images\\.JpegCodec\\.HugePicturesTakeBoundedMemory$"
)

# Each area's listed cases are in test_<area>_TESTS.
set(tallyclock_matched)
get_cmake_property(tallyclock_variables VARIABLES)
foreach(tallyclock_list IN LISTS tallyclock_variables)
  if(NOT tallyclock_list MATCHES "^test_.+_TESTS$")
    continue()
  endif()
  foreach(tallyclock_case IN LISTS ${tallyclock_list})
    foreach(tallyclock_pattern IN LISTS tallyclock_run_alone)
      if(tallyclock_case MATCHES "${tallyclock_pattern}")
        set_tests_properties("${tallyclock_case}" PROPERTIES RUN_SERIAL TRUE)
        list(APPEND tallyclock_matched "${tallyclock_pattern}")
        break()
      endif()
    endforeach()
  endforeach()
endforeach()
# A case renamed or moved would quietly run beside the others again: say so.
foreach(tallyclock_pattern IN LISTS tallyclock_run_alone)
  string(REGEX MATCH "^\\^([a-z_]+)" tallyclock_area "${tallyclock_pattern}")
  list(FIND tallyclock_matched "${tallyclock_pattern}" tallyclock_found)
  if(DEFINED test_${CMAKE_MATCH_1}_TESTS AND tallyclock_found EQUAL -1)
    message(WARNING "runalone.cmake: no case matches ${tallyclock_pattern}")
  endif()
endforeach()
