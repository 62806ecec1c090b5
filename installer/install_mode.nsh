; Who an install is for, and what setup's exit code says, as macros of
; their inputs alone, so that a test can drive every case (Wine runs every
; user as an administrator, so only some of them happen there).

; Per machine ("machine") when writing needs an administrator: the folder
; is not writable for this user (1 in `writable` otherwise), or a
; machine-wide trace of Hushcall is to be removed (`machineWide` 1), or
; /AllUsers asked for it (`allUsers` 1). Per user ("user") otherwise.
!macro INSTALL_MODE out writable machineWide allUsers
  StrCpy ${out} user
  ${If} ${writable} != 1
  ${OrIf} ${machineWide} == 1
  ${OrIf} ${allUsers} == 1
    StrCpy ${out} machine
  ${EndIf}
!macroend

; Setup's exit code when its work ran in an elevated copy of itself: that
; copy's own code when it started (`started` 1), 1 when the user declined
; the elevation (`lastError` ERROR_CANCELLED), 2 when it could not start.
!macro ELEVATED_EXIT_CODE out started lastError childCode
  ${If} ${started} == 1
    StrCpy ${out} ${childCode}
  ${ElseIf} ${lastError} = 1223
    StrCpy ${out} 1
  ${Else}
    StrCpy ${out} 2
  ${EndIf}
!macroend
